#include "Render/CPSprite.h"

#include "core/FrameTime.h"
#include "scene/CPGameObject.h"
#include "scene/CPPerspectiveCamera.h"
#include "scene/MainView.h"

#include <algorithm>
#include <cmath>

namespace {

// All four bytes of the colour at grey level g (0..255).
uint32_t Grey(float level) {
    const auto g = static_cast<uint32_t>(std::clamp(level, 0.0f, 255.0f));
    return g << 24 | g << 16 | g << 8 | g;
}

}  // namespace

void CPSprite::SetFacing(const D3DXVECTOR3& direction, float cone) {
    Direction = direction;
    Cone = std::max(cone, -1.0f);
    Decided = false;
}

void CPSprite::AddModifier(std::unique_ptr<CPTextureModifier> modifier) {
    if (modifier != nullptr) {
        Modifiers.push_back(std::move(modifier));
        HasModifiers = true;
    }
}

bool CPSprite::UpdateVisibility() {
    Decided = true;
    DecidedFrame = FrameNumber;
    if (MainView == nullptr || Owner == nullptr || std::isnan(Cone)) {
        Visible = false;
        return Visible;
    }
    if (Cone < 0.0f) {
        Visible = Cone <= HiddenAbove;
        if (Visible) {
            Colour = Grey(std::trunc(std::min(-Cone, 1.0f) * 255.0f));
        }
        return Visible;
    }
    if (Cone == 0.0f) {
        Visible = true;
        return Visible;
    }

    // The axis turns with the whole object (a car's lamp), not with the part it hangs at.
    const CPGameObject* root = Owner;
    while (root->Parent != nullptr) {
        root = root->Parent;
    }
    D3DXMATRIX rotation;
    D3DXMatrixRotationQuaternion(&rotation, &root->Orientation);
    D3DXVECTOR3 axis;
    D3DXVec3TransformCoord(&axis, &Direction, &rotation);
    D3DXVec3Normalize(&axis, &axis);
    // Horizontal direction to the camera (z is up).
    D3DXVECTOR3 toCamera(MainView->Position.x - Owner->WorldMatrix._41, MainView->Position.y - Owner->WorldMatrix._42,
                         0.0f);
    D3DXVec3Normalize(&toCamera, &toCamera);
    const float angle = std::acos(std::clamp(D3DXVec3Dot(&axis, &toCamera), -1.0f, 1.0f));
    Visible = std::fabs(angle) <= Cone;
    if (Visible) {
        Colour = Grey(std::trunc((1.0f - (angle / Cone) * 0.7f) * 255.0f));
    }
    return Visible;
}

bool CPSprite::VisibleNow() {
    if (!Decided || DecidedFrame != FrameNumber) {
        UpdateVisibility();
    }
    return Visible;
}

int CPSprite::GetVertexCount() { return VisibleNow() ? 4 : 0; }

int CPSprite::GetIndexCount() { return VisibleNow() ? 6 : 0; }

void CPSprite::Fill(CPVertex* vertices, uint16_t* indices, uint16_t base, bool) {
    if (!VisibleNow()) {
        return;
    }
    const uint16_t order[6] = {0, 2, 1, 0, 3, 2};
    for (int i = 0; i < 6; ++i) {
        indices[i] = static_cast<uint16_t>(base + order[i]);
    }
    if (MainView == nullptr || Owner == nullptr) {
        // The camera or the node went after this frame's counts were given: the room made
        // for them gets a quad of no area, which draws nothing.
        for (int i = 0; i < 4; ++i) {
            vertices[i] = CPVertex();
        }
        return;
    }
    // The camera's own placement, moved to the owner, turned by Angle about the facing axis.
    D3DXMATRIX facing = MainView->InverseView;
    facing._41 = Owner->WorldMatrix._41;
    facing._42 = Owner->WorldMatrix._42;
    facing._43 = Owner->WorldMatrix._43;
    D3DXMATRIX turn;
    D3DXMatrixRotationZ(&turn, Angle);
    D3DXMATRIX placement;
    D3DXMatrixMultiply(&placement, &turn, &facing);

    const float s = Size;
    const D3DXVECTOR3 corners[4] = {{-s, -s, 0.0f}, {s, -s, 0.0f}, {s, s, 0.0f}, {-s, s, 0.0f}};
    const float u[4] = {TexRect[0], TexRect[2], TexRect[2], TexRect[0]};
    const float v[4] = {TexRect[1], TexRect[1], TexRect[3], TexRect[3]};
    for (int i = 0; i < 4; ++i) {
        CPVertex vertex;  // normal, specular and second coordinates stay zero
        D3DXVec3TransformCoord(&vertex.Position, &corners[i], &placement);
        vertex.Diffuse = Colour;
        vertex.U = u[i];
        vertex.V = v[i];
        vertices[i] = vertex;
    }
    if (HasModifiers) {
        for (const auto& modifier : Modifiers) {
            modifier->Apply(vertices, vertices, 4);
        }
    }
}
