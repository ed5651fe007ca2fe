// The vehicle model of one car. The car's body is a scene node whose physics data holds a
// rigid body; the car hangs one downward line sensor per wheel under it and is a controller
// of that body. Every physics slice it turns the sensors' contacts into spring, damper,
// lateral grip, drive and locked-wheel braking forces with their torques, adds a
// longitudinal drag and the nitro push, and hands the sums to the controller. Between
// slices it takes the driver's throttle and steering (SetControls) and the brake state
// (SetLights), which also switch the light meshes.
//
// Axes: world z up; in body space the nose points along -y and the roof along +z, so with
// r0, r1, r2 the body's rotation rows, -r1 is forward, r1 rearward (a speed along r1 is
// positive when the car rolls backwards), r0 lateral. Wheels 0 and 1 are the steered front
// wheels. Forces in N, torques in N·m about the body's position, world axes.
//
// The description values (CarParams) are the car's own fields, read by ReadParams from the
// body's XML document (CarDescription.h). The body owns the car (CPGameObject::Car); the
// car holds its body, its light meshes, sensors and controller by plain pointers and never
// frees the simulator's objects.
//
// Faults the model mends: a wheel count above 8 is 8; a wheel without its mesh child "w%d"
// or without a sensor from the pool is left out (logged); a body without a rigid body, or
// a controller pool that is exhausted, leaves the car inert; velocity starts at zero and
// the inverse transform at the identity, so controls given before the first slice are sound.
#pragma once

#include "game/CPVehicleBase.h"
#include "game/CarDescription.h"

#include "Sound/NSound.h"
#include "core/CPtr.h"
#include "physics/RbController.h"
#include "physics/RbMath.h"
#include "platform/d3dx/D3DXMath.h"

#include <cstdint>
#include <string>
#include <vector>

class CPGameObject;
class RbRigidBody;
class RbSensor;

class CPCar : public CPVehicleBase, public RbControllerCallback, public CarParams {
public:
    static constexpr int32_t SoundSlots = 12;
    static constexpr int32_t NitroSound = 0;
    static constexpr int32_t EngineSound = 1;
    static constexpr int32_t SqueakSound = 9;
    // Steering input limit, radians of the front wheels.
    static constexpr float MaxSteer = 0.7f;

    explicit CPCar(CPGameObject* body);
    // Stops the sounds of slots 1..11. The simulator keeps the sensors and the controller;
    // the controller, while the body still has its rigid body, calls nothing any more. The
    // body must outlive its car.
    ~CPCar() override;

    size_t GetObjectSize() const override { return sizeof(CPCar); }
    std::string GetTypeName() const override { return "CPCar"; }

    // The factory: a car for the body (which keeps it in CPGameObject::Car), built, and
    // with its engine, squeal and nitro sounds when withSound (the player's car, which also
    // sends the description's parameter commands). The body's rigid body must exist.
    static CPtr<CPCar> Create(CPtr<CPGameObject> body, bool withSound);

    // Reads the description, finds the wheel meshes, hangs a sensor under each, becomes a
    // controller of the rigid body (every slice), refreshes the body's mass and pose and
    // finds the light meshes.
    void Build(bool send);
    // The body's description into the car's fields; with send, "set_car_params" and
    // "set_car_params2" to "jeep" when the description carries them.
    void ReadParams(bool send);

    // The physics slice (CPCar_Step.cpp).
    void OnStep(RbController* controller, float dt) override;
    // One wheel's contact forces added to force and torque.
    void UpdateWheel(int32_t i, RbVector& force, RbVector& torque);
    // Wheel spin, dust, squeal and the wheel mesh's pose (CPCar_Effects.cpp).
    void UpdateWheelEffects(int32_t i, float dt, const RbVector& velocity);
    // A dust puff "pil_" at wheel i's contact, kept apart from its last one, within the
    // frame's spark budget (SparkCount).
    void SpawnDust(int32_t i);
    // The once-per-frame part: nitro fuel burns 25 per second while requested, the nitro
    // glow flickers, the engine's pitch follows the speed; LastFrame := FrameNumber. Its
    // time is CarFrameTime, which carries frames that ran no physics step.
    void UpdateFrame();
    // Rotation of a wheel mesh: about x by spin, then about z by steer.
    static D3DXQUATERNION WheelOrientation(float spin, float steer);

    // Throttle -1..1 (only its sign drives), steering clamped to ±MaxSteer.
    void SetControls(float throttle, float steering);
    // The brake: rear grip falls by Slide while it is on; switches the stop lights.
    void SetLights(bool on);
    // An instant change of momentum at a world point, N·s.
    void ApplyImpulse(const D3DXVECTOR3& point, const D3DXVECTOR3& impulse);

    // The body's rigid body, or null.
    RbRigidBody* GetRigidBody() const;

    RbSensor* Sensors[MaxWheels] = {};
    bool HasSound = false;
    bool Braking = false;
    CPGameObject* Body = nullptr;  // owns the car
    D3DXVECTOR3 DustPositions[MaxWheels];
    float WheelSpin[MaxWheels] = {};     // radians
    float WheelSpeeds[MaxWheels] = {};   // forward speed of the contact point, m/s
    D3DXVECTOR3 ContactPoints[MaxWheels];
    D3DXVECTOR4 WheelRestPositions[MaxWheels];
    float WheelOffsets[MaxWheels] = {};  // wheel mesh below WheelY, m (negative down)
    bool WheelContact[MaxWheels] = {};
    CPtr<CPGameObject> Wheels[MaxWheels];
    float SlideAmount = 0.0f;  // current loss of rear grip
    int32_t LastFrame = 0;
    CPtr<CNSound> Sounds[SoundSlots];
    D3DXMATRIX BodyTransform;     // the body's transform in the current slice
    D3DXMATRIX InverseTransform;  // its rigid inverse
    float NitroFuel = 100.0f;     // 0..100
    float Nitro = 0.0f;           // nitro request
    float DriveForce = 0.0f;      // throttle times drive gain
    float SteerInput = 0.0f;      // radians, within ±MaxSteer
    RbVector SteerDirection;      // world ground direction of the front wheels, rearwards
    float Speed = 0.0f;           // |Velocity|, m/s
    RbVector Velocity;            // the body's velocity in the current slice, m/s
    CPGameObject* StopLights = nullptr;
    CPGameObject* StopLights2 = nullptr;
    CPGameObject* BackLights = nullptr;
    CPGameObject* BackLights2 = nullptr;
    bool Locked = false;  // the wheels brake instead of driving
    float EnginePitch = 0.0f;

private:
    // Rotation rows and position of BodyTransform.
    RbMatrix3 Rotation;
    RbVector Translation;
    // The slice being stepped, s, and the mass each wheel on the ground carries, kg.
    float SliceTime = 0.0f;
    float WheelMass = 0.0f;
    // The sounds Create loaded for this car alone (not the cache's shared ones): deleted with it.
    std::vector<CNSound*> ownSounds;
};
