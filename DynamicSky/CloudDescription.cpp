#include "DynamicSky/CloudDescription.h"

#include "DynamicSky/SkyFiles.h"
#include "DynamicSky/SkyTextLines.h"

#include <algorithm>
#include <cmath>

void CloudDescription::Load(const std::string& name, float scale, float angle) {
    Scale = scale;
    Angle = angle;
    std::vector<uint8_t> text;
    if (ReadSkyFile(name, text)) {
        ReadText(reinterpret_cast<const char*>(text.data()), static_cast<int>(text.size()));
    }
}

void CloudDescription::ReadText(const char* text, int length) {
    D3DXMATRIX turn;
    D3DXMatrixRotationZ(&turn, Angle);
    auto place = [&](const D3DXVECTOR3& point) {
        const D3DXVECTOR3 scaled = point * Scale;
        D3DXVECTOR3 placed;
        D3DXVec3TransformCoord(&placed, &scaled, &turn);
        return placed;
    };

    SkyTextLines lines(text, length);
    std::vector<D3DXVECTOR3> anchors;
    const int anchorCount = lines.Bounded(lines.NextInt());
    for (int k = 0; k < anchorCount; ++k) {
        anchors.push_back(place(lines.NextVector()));
    }

    // Bounds start at the origin, so a cloud always reaches back to it.
    D3DXVECTOR3 low(0.0f, 0.0f, 0.0f);
    D3DXVECTOR3 high(0.0f, 0.0f, 0.0f);
    const int puffCount = lines.Bounded(lines.NextInt());
    for (int i = 0; i < puffCount && lines.Remaining() > 0; ++i) {
        CloudPuff puff;
        puff.Position = place(lines.NextVector());
        lines.Next();
        puff.Int1 = lines.Int(0);
        puff.Int2 = lines.Int(1);
        puff.Value = lines.NextFloat();
        const int anchor = lines.NextInt();
        const D3DXVECTOR3 from = anchor >= 0 && anchor < static_cast<int>(anchors.size())
                                     ? anchors[static_cast<size_t>(anchor)]
                                     : D3DXVECTOR3(0.0f, 0.0f, 0.0f);
        const D3DXVECTOR3 away = puff.Position - from;
        D3DXVec3Normalize(&puff.Direction, &away);
        lines.Next();
        puff.SizeX = lines.Float(0) * Scale;
        puff.SizeY = lines.Float(1) * Scale;
        puff.Owner = this;
        Puffs.push_back(puff);

        const float r = std::sqrt(puff.SizeX * puff.SizeX + puff.SizeY * puff.SizeY);
        const float p[3] = {puff.Position.x, puff.Position.y, puff.Position.z};
        float* lo[3] = {&low.x, &low.y, &low.z};
        float* hi[3] = {&high.x, &high.y, &high.z};
        for (int axis = 0; axis < 3; ++axis) {
            *lo[axis] = std::min(*lo[axis], p[axis] - r);
            *hi[axis] = std::max(*hi[axis], p[axis] + r);
        }
    }
    const float hx = std::max(std::fabs(low.x), std::fabs(high.x));
    const float hy = std::max(std::fabs(low.y), std::fabs(high.y));
    const float hz = std::max(std::fabs(low.z), std::fabs(high.z));
    HalfHeight = hz * 0.5f;
    Radius = std::max({hx, hy, hz});

    float* closing[8] = {&Extra1, &Extra2, &Extra3, &Extra4, &Extra5, &Extra6, &Extra7, &Extra8};
    for (float* field : closing) {
        if (!lines.Next()) {
            break;
        }
        *field = lines.Float();
    }
}
