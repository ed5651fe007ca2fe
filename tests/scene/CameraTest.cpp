// Cameras: the base camera's matrices, the perspective camera's update by dirty flags, its
// frustum planes and the box test the culling code relies on.
#include "core/ConfigVars.h"
#include "scene/CPBaseCamera.h"
#include "scene/CPPerspectiveCamera.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

D3DXMATRIX Identity() {
    D3DXMATRIX m;
    D3DXMatrixIdentity(&m);
    return m;
}

float PlaneValue(const D3DXPLANE& p, const D3DXVECTOR3& v) { return p.a * v.x + p.b * v.y + p.c * v.z + p.d; }

// The camera the default-camera script function builds for layer 19.
void SetDefaultCameraValues(CPPerspectiveCamera& camera) {
    camera.Fov = 1.2217305f;
    camera.Near = 1.0f;
    camera.Far = 1000.0f;
    camera.Position = D3DXVECTOR3(0, 0, 0);
    camera.Target = D3DXVECTOR3(1, 0, 0);
    camera.Up = D3DXVECTOR3(0, 0, 1);
    camera.ViewDirty = true;
    camera.ProjectionDirty = true;
    camera.Update();
}

class CameraTest : public ::testing::Test {
protected:
    void SetUp() override { Cfg::ResetDefaults(); }
    void TearDown() override { Cfg::ResetDefaults(); }
};

TEST_F(CameraTest, BaseCameraStartsWithIdentityAndTakesAViewMatrix) {
    CPBaseCamera camera;
    EXPECT_EQ(camera.View, Identity());
    EXPECT_EQ(camera.Projection, Identity());
    EXPECT_EQ(camera.FarProjection, Identity());
    EXPECT_EQ(camera.RotationView, Identity());
    EXPECT_EQ(camera.InverseRotationView, Identity());
    EXPECT_EQ(camera.GetTypeName(), "CPBaseCamera");

    float values[16];
    for (int i = 0; i < 16; ++i) values[i] = static_cast<float>(i + 1);
    camera.SetViewMatrix(values);
    EXPECT_EQ(camera.View._11, 1.0f);
    EXPECT_EQ(camera.View._14, 4.0f);
    EXPECT_EQ(camera.View._21, 5.0f);
    EXPECT_EQ(camera.View._44, 16.0f);
}

TEST_F(CameraTest, NewPerspectiveCameraComputesNothingAndShowsEverything) {
    CPPerspectiveCamera camera;
    EXPECT_EQ(camera.GetTypeName(), "CPPerspectiveCamera");
    EXPECT_FALSE(camera.ViewDirty);
    EXPECT_FALSE(camera.ProjectionDirty);
    EXPECT_FALSE(camera.HasFrustum());

    camera.Position = D3DXVECTOR3(5, 5, 5);
    camera.Update();  // no flag raised: nothing is recomputed
    for (const D3DXMATRIX& m : {camera.View, camera.Projection, camera.FarProjection, camera.ViewProjection,
                                camera.InverseView, camera.InverseViewProjection, camera.FarViewProjection}) {
        EXPECT_EQ(m, Identity());
    }
    for (const D3DXPLANE& plane : camera.Planes) {
        EXPECT_EQ(plane, D3DXPLANE(0, 0, 0, 0));
    }
    EXPECT_TRUE(camera.IsBoxVisible(D3DXVECTOR3(-1e6f, -1e6f, -1e6f), D3DXVECTOR3(-1e6f + 1, -1e6f + 1, -1e6f + 1)));
    EXPECT_TRUE(camera.IsBoxVisible(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 0, 0)));
}

TEST_F(CameraTest, DefaultCameraMatrices) {
    CPPerspectiveCamera camera;
    SetDefaultCameraValues(camera);
    EXPECT_FALSE(camera.ViewDirty);
    EXPECT_FALSE(camera.ProjectionDirty);
    ASSERT_TRUE(camera.HasFrustum());

    D3DXMATRIX view, projection, far, product;
    const D3DXVECTOR3 eye(0, 0, 0), at(1, 0, 0), up(0, 0, 1);
    D3DXMatrixLookAtLH(&view, &eye, &at, &up);
    D3DXMatrixPerspectiveFovLH(&projection, 1.2217305f, 640.0f / 480.0f, 1.0f, 1000.0f);
    D3DXMatrixPerspectiveFovLH(&far, 1.2217305f, 640.0f / 480.0f, 1.0f, 1000.0f);
    EXPECT_EQ(camera.View, view);
    EXPECT_EQ(camera.Projection, projection);
    EXPECT_EQ(camera.FarProjection, far);
    D3DXMatrixMultiply(&product, &view, &projection);
    EXPECT_EQ(camera.ViewProjection, product);

    // The eye at the origin: the rotation-only view is the view itself.
    EXPECT_EQ(camera.RotationView, view);
    D3DXMATRIX back;
    D3DXMatrixMultiply(&back, &camera.View, &camera.InverseView);
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) EXPECT_NEAR(back.m[r][c], r == c ? 1.0f : 0.0f, 1e-5f);
    }
}

TEST_F(CameraTest, MovedCameraKeepsOnlyItsOrientationInTheRotationView) {
    CPPerspectiveCamera camera;
    camera.Fov = 1.0f;
    camera.Near = 2.0f;
    camera.Far = 3000.0f;
    camera.Position = D3DXVECTOR3(100, 50, 10);
    camera.Target = D3DXVECTOR3(100, 150, 10);
    camera.Up = D3DXVECTOR3(0, 0, 1);
    camera.ViewDirty = camera.ProjectionDirty = true;
    camera.Update();

    EXPECT_EQ(camera.RotationView._41, 0.0f);
    EXPECT_EQ(camera.RotationView._42, 0.0f);
    EXPECT_EQ(camera.RotationView._43, 0.0f);
    // The far projection always ends at 1000, whatever Far says.
    D3DXMATRIX far, farProduct;
    D3DXMatrixPerspectiveFovLH(&far, 1.0f, 640.0f / 480.0f, 2.0f, 1000.0f);
    EXPECT_EQ(camera.FarProjection, far);
    D3DXMatrixMultiply(&farProduct, &camera.RotationView, &far);
    EXPECT_EQ(camera.FarViewProjection, farProduct);
    // The inverse view is the camera's world placement: its origin is the eye.
    EXPECT_NEAR(camera.InverseView._41, 100.0f, 1e-3f);
    EXPECT_NEAR(camera.InverseView._42, 50.0f, 1e-3f);
    EXPECT_NEAR(camera.InverseView._43, 10.0f, 1e-3f);

    EXPECT_TRUE(camera.IsBoxVisible(D3DXVECTOR3(99, 99, 9), D3DXVECTOR3(101, 101, 11)));
    EXPECT_FALSE(camera.IsBoxVisible(D3DXVECTOR3(99, 0, 9), D3DXVECTOR3(101, 40, 11)));
}

TEST_F(CameraTest, PlanesOfTheDefaultCamera) {
    CPPerspectiveCamera camera;
    SetDefaultCameraValues(camera);

    for (int k = 0; k < 6; ++k) {
        EXPECT_GT(PlaneValue(camera.Planes[k], D3DXVECTOR3(10, 0, 0)), 0.0f) << "plane " << k;
        EXPECT_GT(PlaneValue(camera.Planes[k], D3DXVECTOR3(500, 0, 0)), 0.0f) << "plane " << k;
    }
    EXPECT_LE(PlaneValue(camera.Planes[0], D3DXVECTOR3(-10, 0, 0)), 0.0f);
    // Near at x = 1, far at x = 1000.
    EXPECT_LT(PlaneValue(camera.Planes[0], D3DXVECTOR3(0.99f, 0, 0)), 0.0f);
    EXPECT_GT(PlaneValue(camera.Planes[0], D3DXVECTOR3(1.01f, 0, 0)), 0.0f);
    EXPECT_GT(PlaneValue(camera.Planes[1], D3DXVECTOR3(999, 0, 0)), 0.0f);
    EXPECT_LT(PlaneValue(camera.Planes[1], D3DXVECTOR3(1001, 0, 0)), 0.0f);
    // Looking along +x with z up, the view's right (up × forward) is world +y: left is −y.
    const float halfHeight = 10.0f * std::tan(1.2217305f / 2);  // at distance 10
    const float halfWidth = halfHeight * 640.0f / 480.0f;
    EXPECT_GT(PlaneValue(camera.Planes[2], D3DXVECTOR3(10, -halfWidth + 0.1f, 0)), 0.0f);
    EXPECT_LT(PlaneValue(camera.Planes[2], D3DXVECTOR3(10, -halfWidth - 0.1f, 0)), 0.0f);
    EXPECT_GT(PlaneValue(camera.Planes[3], D3DXVECTOR3(10, halfWidth - 0.1f, 0)), 0.0f);
    EXPECT_LT(PlaneValue(camera.Planes[3], D3DXVECTOR3(10, halfWidth + 0.1f, 0)), 0.0f);
    EXPECT_LT(PlaneValue(camera.Planes[4], D3DXVECTOR3(10, 0, halfHeight + 0.1f)), 0.0f);
    EXPECT_GT(PlaneValue(camera.Planes[4], D3DXVECTOR3(10, 0, halfHeight - 0.1f)), 0.0f);
    EXPECT_LT(PlaneValue(camera.Planes[5], D3DXVECTOR3(10, 0, -halfHeight - 0.1f)), 0.0f);
}

struct BoxCase {
    const char* what;
    D3DXVECTOR3 min, max;
    bool visible;
};

TEST_F(CameraTest, BoxesAroundTheDefaultCamera) {
    CPPerspectiveCamera camera;
    SetDefaultCameraValues(camera);
    const BoxCase cases[] = {
        {"in front", {9, -1, -1}, {11, 1, 1}, true},
        {"behind", {-11, -1, -1}, {-9, 1, 1}, false},
        {"around the eye", {-2, -2, -2}, {2, 2, 2}, true},
        {"straddling the near plane", {0.5f, -0.1f, -0.1f}, {1.5f, 0.1f, 0.1f}, true},
        {"between eye and near plane", {0.1f, -0.1f, -0.1f}, {0.9f, 0.1f, 0.1f}, false},
        {"beyond the far plane", {1001, -1, -1}, {1100, 1, 1}, false},
        {"straddling the far plane", {990, -1, -1}, {1010, 1, 1}, true},
        {"far to the left", {10, -60, -1}, {12, -50, 1}, false},
        {"far to the right", {10, 50, -1}, {12, 60, 1}, false},
        {"straddling the left plane", {10, -60, -1}, {12, -5, 1}, true},
        {"above", {10, -1, 50}, {12, 1, 60}, false},
        {"below", {10, -1, -60}, {12, 1, -50}, false},
        {"a point inside", {10, 0, 0}, {10, 0, 0}, true},
    };
    for (const BoxCase& c : cases) {
        EXPECT_EQ(camera.IsBoxVisible(c.min, c.max), c.visible) << c.what;
    }
}

TEST_F(CameraTest, BoxTouchingAPlaneFromOutsideIsHidden) {
    CPPerspectiveCamera camera;
    SetDefaultCameraValues(camera);
    // Axis-aligned planes give exact values: inside means x > 0, y > -4, ...
    camera.Planes[0] = D3DXPLANE(1, 0, 0, 0);
    camera.Planes[1] = D3DXPLANE(-1, 0, 0, 10);
    camera.Planes[2] = D3DXPLANE(0, 1, 0, 4);
    camera.Planes[3] = D3DXPLANE(0, -1, 0, 4);
    camera.Planes[4] = D3DXPLANE(0, 0, 1, 4);
    camera.Planes[5] = D3DXPLANE(0, 0, -1, 4);
    EXPECT_FALSE(camera.IsBoxVisible(D3DXVECTOR3(-2, -1, -1), D3DXVECTOR3(0, 1, 1)));  // all corners 0 or less
    EXPECT_TRUE(camera.IsBoxVisible(D3DXVECTOR3(-2, -1, -1), D3DXVECTOR3(0.001f, 1, 1)));
    EXPECT_FALSE(camera.IsBoxVisible(D3DXVECTOR3(1, -8, 0), D3DXVECTOR3(2, -4, 1)));
    EXPECT_TRUE(camera.IsBoxVisible(D3DXVECTOR3(1, -8, 0), D3DXVECTOR3(2, -3.999f, 1)));
}

// The single-corner test must agree with trying all eight corners in turn.
TEST_F(CameraTest, BoxTestAgreesWithEveryCorner) {
    CPPerspectiveCamera camera;
    camera.Fov = 0.9f;
    camera.Near = 0.5f;
    camera.Far = 300.0f;
    camera.Position = D3DXVECTOR3(3, -7, 2);
    camera.Target = D3DXVECTOR3(40, 20, -5);
    camera.Up = D3DXVECTOR3(0, 0, 1);
    camera.ViewDirty = camera.ProjectionDirty = true;
    camera.Update();

    auto allCorners = [&](const D3DXVECTOR3& lo, const D3DXVECTOR3& hi) {
        for (const D3DXPLANE& p : camera.Planes) {
            bool anyInside = false;
            for (int k = 0; k < 8 && !anyInside; ++k) {
                const D3DXVECTOR3 c((k & 1) ? hi.x : lo.x, (k & 2) ? hi.y : lo.y, (k & 4) ? hi.z : lo.z);
                anyInside = PlaneValue(p, c) > 0.0f;
            }
            if (!anyInside) return false;
        }
        return true;
    };
    int visible = 0, hidden = 0;
    for (int x = -60; x <= 360; x += 7) {
        for (int y = -200; y <= 260; y += 9) {
            for (int z = -120; z <= 120; z += 15) {
                const float size = 0.5f + static_cast<float>((x + y + z) & 7);
                const D3DXVECTOR3 lo(static_cast<float>(x), static_cast<float>(y), static_cast<float>(z));
                const D3DXVECTOR3 hi = lo + D3DXVECTOR3(size, size * 0.5f, size * 2.0f);
                const bool expected = allCorners(lo, hi);
                ASSERT_EQ(camera.IsBoxVisible(lo, hi), expected) << x << " " << y << " " << z;
                (expected ? visible : hidden)++;
            }
        }
    }
    EXPECT_GT(visible, 100);
    EXPECT_GT(hidden, 100);
}

TEST_F(CameraTest, OnlyTheFlaggedPartIsRebuilt) {
    CPPerspectiveCamera camera;
    SetDefaultCameraValues(camera);
    const D3DXMATRIX projection = camera.Projection;
    const D3DXPLANE nearPlane = camera.Planes[0];

    // A new screen size alone changes nothing until the projection is flagged.
    Cfg::screenWidth = 1024;
    Cfg::screenHeight = 384;
    camera.Target = D3DXVECTOR3(0, 1, 0);
    camera.ViewDirty = true;
    camera.Update();
    EXPECT_EQ(camera.Projection, projection);
    D3DXMATRIX product;
    D3DXMatrixMultiply(&product, &camera.View, &camera.Projection);
    EXPECT_EQ(camera.ViewProjection, product);
    EXPECT_NE(camera.Planes[0], nearPlane);
    EXPECT_TRUE(camera.IsBoxVisible(D3DXVECTOR3(-1, 9, -1), D3DXVECTOR3(1, 11, 1)));
    EXPECT_FALSE(camera.IsBoxVisible(D3DXVECTOR3(9, -1, -1), D3DXVECTOR3(11, 1, 1)));

    camera.ProjectionDirty = true;
    camera.Update();
    D3DXMATRIX wide;
    D3DXMatrixPerspectiveFovLH(&wide, 1.2217305f, 1024.0f / 384.0f, 1.0f, 1000.0f);
    EXPECT_EQ(camera.Projection, wide);
}

TEST_F(CameraTest, DegenerateViewShowsEverything) {
    CPPerspectiveCamera camera;
    SetDefaultCameraValues(camera);
    camera.Target = camera.Position;  // no direction to look along
    camera.ViewDirty = true;
    camera.Update();
    EXPECT_FALSE(camera.HasFrustum());
    EXPECT_TRUE(camera.IsBoxVisible(D3DXVECTOR3(-11, -1, -1), D3DXVECTOR3(-9, 1, 1)));

    // A zero screen height gives no usable projection either.
    SetDefaultCameraValues(camera);
    ASSERT_TRUE(camera.HasFrustum());
    Cfg::screenHeight = 0;
    camera.ProjectionDirty = true;
    camera.Update();
    EXPECT_FALSE(camera.HasFrustum());
    EXPECT_TRUE(camera.IsBoxVisible(D3DXVECTOR3(-11, -1, -1), D3DXVECTOR3(-9, 1, 1)));
}

TEST_F(CameraTest, PlaneFromPoints) {
    D3DXPLANE plane;
    CPPerspectiveCamera::PlaneFromPoints(plane, D3DXVECTOR3(0, 0, 2), D3DXVECTOR3(1, 0, 2), D3DXVECTOR3(0, 1, 2));
    EXPECT_EQ(plane, D3DXPLANE(0, 0, 1, -2));
    CPPerspectiveCamera::PlaneFromPoints(plane, D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 3, 0), D3DXVECTOR3(2, 0, 0));
    EXPECT_EQ(plane, D3DXPLANE(0, 0, -6, 0));  // not normalised
}

}  // namespace
