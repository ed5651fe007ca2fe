// The library's rotation rows against the D3DX math layer the game uses for its own
// matrices: the two must agree bit for bit, since the game mixes them.
#include "physics/RbMath.h"

#include "platform/d3dx/D3DXMath.h"

#include <gtest/gtest.h>

namespace {

TEST(RbMath, RotationRowsEqualD3DXMatrixRotationQuaternion) {
    const RbQuaternion cases[] = {
        {0, 0, 0, 1},
        {0, 0, 0.70710677f, 0.70710677f},
        {0.1f, 0.2f, 0.3f, 0.927362f},
        {-0.5f, 0.5f, -0.5f, 0.5f},
        {0.36f, -0.48f, 0.64f, -0.48f},
        {1.5f, -2.0f, 0.25f, 3.0f},  // not unit: the formula is taken as it stands
    };
    for (const RbQuaternion& q : cases) {
        SCOPED_TRACE(testing::Message() << q.x << "," << q.y << "," << q.z << "," << q.w);
        const D3DXQUATERNION dq(q.x, q.y, q.z, q.w);
        D3DXMATRIX expected;
        D3DXMatrixRotationQuaternion(&expected, &dq);
        const RbMatrix3 rows = RbRotationFromQuaternion(q);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(rows.Rows[i].x, expected.m[i][0]);
            EXPECT_EQ(rows.Rows[i].y, expected.m[i][1]);
            EXPECT_EQ(rows.Rows[i].z, expected.m[i][2]);
            EXPECT_EQ(rows.Rows[i].w, expected.m[i][3]);
        }
    }
}

}  // namespace
