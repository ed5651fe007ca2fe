// The render object of a sprite node: a square that always faces the race camera (glows,
// lamps, signs), optionally seen from one side only and dimmed with the viewing angle.
//
// Cone says how: 0 always visible at Colour; between -0.1 and 0 hidden; -0.1 or less visible
// at the grey level -Cone (at most 1); positive, the half-angle in radians of the horizontal
// cone around Direction (in the root node's frame) within which the sprite shows, full at
// the axis and 30 % at the edge.
//
// The decision is taken once per frame (FrameNumber) and whenever the facing changes, so the
// counts the batcher asks for and the vertices Fill writes always agree. Without a race
// camera (MainView) or an owner the sprite stays hidden.
#pragma once

#include "Render/CPMaterial.h"
#include "Render/CPTextureModifier.h"
#include "Render/CPVertex.h"
#include "core/CPtr.h"
#include "platform/d3dx/D3DXMath.h"
#include "scene/CPRenderable.h"

#include <cstdint>
#include <memory>
#include <vector>

class CPGameObject;

class CPSprite : public CPRenderable {
public:
    // Cone values between this and 0 hide the sprite.
    static constexpr float HiddenAbove = -0.1f;

    explicit CPSprite(float size) : Size(size) {}

    size_t GetObjectSize() const override { return sizeof(CPSprite); }
    std::string GetTypeName() const override { return "CPSprite"; }

    bool IsExcluded() const override { return false; }
    void SetExcluded(bool) override {}
    // 4 and 6 while visible this frame, else 0.
    int GetVertexCount() override;
    int GetIndexCount() override;
    // The four corners facing the camera at the owner, then the two triangles plus base;
    // nothing while hidden. A camera or owner gone since the frame's decision gives a quad
    // of no area, so what was counted is still written.
    void Fill(CPVertex* vertices, uint16_t* indices, uint16_t base, bool flag) override;
    bool FillIndices(uint16_t*, int, uint16_t&, uint16_t&) override { return false; }
    void GetMaterial(CPtr<CPMaterial>& material) override { material = Material; }
    void SetMaterial(const CPtr<CPMaterial>& material) override { Material = material; }

    void SetOwner(CPGameObject* owner) { Owner = owner; }
    // The visibility test's axis and cone (see above); a cone below -1 counts as -1. The
    // next question decides anew.
    void SetFacing(const D3DXVECTOR3& direction, float cone);
    // Decides visibility now and sets Colour by it; returns Visible.
    bool UpdateVisibility();
    void AddModifier(std::unique_ptr<CPTextureModifier> modifier);

    bool HasModifiers = false;
    std::vector<std::unique_ptr<CPTextureModifier>> Modifiers;
    CPGameObject* Owner = nullptr;  // not counted
    CPtr<CPMaterial> Material;
    float Size = 0.0f;   // half the edge
    float Angle = 0.0f;  // turn about the square's normal, radians
    uint32_t Colour = 0xFFFFFFFF;  // ARGB of all four corners
    float TexRect[4] = {0.0f, 0.0f, 1.0f, 1.0f};  // left u, top v, right u, bottom v
    D3DXVECTOR3 Direction;
    float Cone = 0.0f;
    bool Visible = true;

private:
    // Visible as decided for this frame.
    bool VisibleNow();

    int32_t DecidedFrame = 0;
    bool Decided = false;
};
