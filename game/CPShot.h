// A shot: every projectile, tracer, beam, explosion and bonus effect that weapons, enemies and
// scripts fire. It is a scene node set up once from its description's parameters (Setup),
// then launched from a position in a direction, with a lifetime and an owner, as often as the
// shot manager reuses it. Concrete classes say how it flies (Step) and how it is copied for a
// pool (Clone).
//
// The shot owns its render object (counted pointers free nothing); the sound it plays belongs
// to the shot manager, which loaded it through its prototype.
//
// The owner (the car or shot that fired it) is held for the flight so the shot's rays can skip
// it. Counted pointers do not keep an object alive, so the owner is only used while it is still
// a live object, and let go without touching it once it is not.
#pragma once

#include "Sound/NSound.h"
#include "core/CPtr.h"
#include "platform/d3dx/D3DXMath.h"
#include "scene/CPGameObject.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CPRenderObject;

class CPShot : public CPGameObject {
public:
    explicit CPShot(std::string typeName);
    ~CPShot() override;

    size_t GetObjectSize() const override { return sizeof(CPShot); }
    std::string GetTypeName() const override { return "CPShot - " + TypeName; }

    // A new, set-up shot of the same kind and type name; null when the kind cannot be copied.
    virtual CPtr<CPShot> Clone() = 0;
    // One frame of flight; false once the shot has ended.
    virtual bool Step() = 0;
    virtual const std::string& GetShotName() const { return TypeName; }
    // The last parameter is the sound field: "none", a sound name, or a name followed
    // by ",2d" for a plain (not positioned) sound. Returns 1.
    virtual int Setup(const std::vector<std::string>& parameters);
    // Places and turns the shot along the direction (normalised; a zero direction gives no
    // turn) so its local -Y points along it, and plays its sound there.
    virtual void Launch(const D3DXVECTOR3& position, const D3DXVECTOR3& direction, float lifetime,
                        CPtr<CPGameObject> owner, int32_t extra);

    // The owner while it is alive, else null.
    CPGameObject* LiveOwner() const;
    // Lets the owner go (when the flight ends or a new one starts).
    void DropOwner();

    // The rotation that turns local -Y onto the unit direction d. Straight up (0, +1, 0) is a
    // half turn about z; a zero direction is no turn.
    static D3DXQUATERNION OrientationFor(const D3DXVECTOR3& d);

    std::string TypeName;
    CPtr<CNSound> Sound;  // null when silent
    std::string SoundSpec;  // after Setup, the sound's name
    float Lifetime = -1.0f;
    bool Sound2D = false;
    D3DXVECTOR3 LaunchPosition;
    D3DXVECTOR3 Direction;  // unit, or zero

protected:
    // Parameter i of a description as a decimal number (0 when missing or not a number; the
    // description reader has checked them) or as a word (empty when missing).
    static float ParameterNumber(const std::vector<std::string>& parameters, size_t i);
    static int32_t ParameterInteger(const std::vector<std::string>& parameters, size_t i);
    static std::string ParameterWord(const std::vector<std::string>& parameters, size_t i);
    // A clone plays the prototype's sound (its owner is the shot manager), not one loaded again.
    void ShareSound(CPShot& copy) const;
    // Installs render as the node's mesh render object, deleting the one installed before.
    void InstallRenderObject(std::unique_ptr<CPRenderObject> render);
    CPRenderObject* Render() const { return renderObject.get(); }

private:
    std::unique_ptr<CPRenderObject> renderObject;
    CPtr<CPGameObject> owner;
};
