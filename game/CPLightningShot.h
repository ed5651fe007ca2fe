// The shot class of our descriptions: a textured ribbon that flies along a straight line at a
// fixed speed, stretches from its launch point to its head (turned across the line of sight of
// the race camera), and on reaching a car launches its impact shot at the point hit.
//
// It ends after MaxTravel units, after its duration when one is given (0: none), or on a hit.
// Its ray skips the shot's owner, so a car never hits itself with its own fire.
#pragma once

#include "game/CPShot.h"

#include <cstdint>
#include <string>
#include <vector>

class CPLightningShot : public CPShot {
public:
    static constexpr float MaxTravel = 20.0f;

    explicit CPLightningShot(std::string typeName);

    size_t GetObjectSize() const override { return sizeof(CPLightningShot); }

    // A new shot with the same type name and set-up values, and a ribbon of its own.
    CPtr<CPShot> Clone() override;
    // Update with a hit owner of its own; true while it flies.
    bool Step() override;
    // Parameters: target ("enemy" or another word), speed, duration, width, texture, effect,
    // material type, impact shot name ("none": no impact), extra, sound field.
    int Setup(const std::vector<std::string>& parameters) override;
    // Starts a new flight from position; a lifetime of 0 or more replaces the duration.
    void Launch(const D3DXVECTOR3& position, const D3DXVECTOR3& direction, float lifetime, CPtr<CPGameObject> owner,
                int32_t extra) override;
    // One frame (FrameTime) of flight: 1 flying, 0 hit (hitOwner := the script owner of what
    // was hit, and the impact shot is launched at the hit point), -1 ended.
    virtual int Update(CPtr<CPGameObject>& hitOwner);

    float Speed = 0.0f;     // units per second
    float Duration = 0.0f;  // seconds; 0: no limit
    float Travelled = 0.0f;
    float Elapsed = 0.0f;  // seconds since launch
    std::string ImpactName;
    std::string TextureName;
    std::string EffectName;
    bool TargetFlag = true;  // false when the description's target is "enemy"
    int32_t MaterialType = 0;
    D3DXVECTOR3 LaunchPoint;
    float Width = 0.0f;  // half width of the ribbon
    float Extra = 0.0f;

private:
    // The description's parameters, kept for Clone.
    std::vector<std::string> parameters;
    // The quad from the launch point to the head, across the line of sight of MainView; left as
    // it is when there is no view or the view's eye lies on the line.
    void BuildRibbon();
};
