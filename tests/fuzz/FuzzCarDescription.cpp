// Car descriptions (the XML of a car's body): any text is read or refused with a reason; what
// is read gives values the model can use and well-formed parameter texts, and a car built
// from it on a small simulator steps without a fault.
#include "FuzzFiles.h"

#include "core/ConfigVars.h"
#include "game/CPCar.h"
#include "game/CarDescription.h"
#include "physics/RbSimulator.h"
#include "scene/CPGameObject.h"
#include "scene/CPPhysicData.h"
#include "scene/CPSceneLoader.h"

#include <cctype>
#include <cmath>
#include <string>

namespace {

// "%.2f" numbers joined by commas: an optional "-", digits, ".", two digits.
bool IsTwoDecimalList(const std::string& text, int count) {
    size_t at = 0;
    for (int i = 0; i < count; ++i) {
        if (i > 0 && (at >= text.size() || text[at++] != ',')) {
            return false;
        }
        if (at < text.size() && text[at] == '-') {
            ++at;
        }
        const size_t digits = at;
        while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at]))) {
            ++at;
        }
        if (at == digits || at + 3 > text.size() || text[at] != '.' ||
            !std::isdigit(static_cast<unsigned char>(text[at + 1])) ||
            !std::isdigit(static_cast<unsigned char>(text[at + 2]))) {
            return false;
        }
        at += 3;
    }
    return at == text.size();
}

std::vector<RbVector> GroundVertices = {RbVec(-50, -50, 0), RbVec(50, -50, 0), RbVec(50, 50, 0), RbVec(-50, 50, 0)};
RbTerrainTriangle GroundTriangles[2] = {{{0, 1, 2}, {}}, {{0, 2, 3}, {}}};
const int32_t GroundCandidates[2] = {0, 1};

void QueryGround(const RbVector&, const RbVector&, const int32_t*& candidates, const RbTerrainTriangle*& triangles,
                 const RbVector*& vertices, int32_t& candidateCount, int32_t& triangleCount, RbBody*) {
    candidates = GroundCandidates;
    triangles = GroundTriangles;
    vertices = GroundVertices.data();
    candidateCount = 2;
    triangleCount = 2;
}

// A car of the description on a flat ground, driven for a few slices.
void DriveCar(const std::string& text) {
    RbSizeLimits limits;
    limits.rigidBodiesCount = 1;
    limits.kinematicBodiesCount = 1;
    limits.rigidParticleCount = 1;
    limits.geometriesCount = 2;
    limits.sensorsCount = 8;
    limits.constraintSetsCount = 2;
    const RbVector gravity = RbVec(0.0f, 0.0f, -9.8f);
    RbSimulator* simulator = RbSimulator::Create(&limits, nullptr, &gravity);
    simulator->SetTerrainQueryCallback(QueryGround);
    auto* body = new CPGameObject("car");
    body->Position = D3DXVECTOR3(0.0f, 0.0f, 1.0f);
    for (int i = 0; i < 8; ++i) {
        CPtr<CPGameObject> wheel(new CPGameObject("w" + std::to_string(i)));
        wheel->Position = D3DXVECTOR3(i % 2 == 0 ? -0.8f : 0.8f, -1.4f + 0.4f * static_cast<float>(i / 2), 0.0f);
        body->AddChild(wheel);
    }
    std::string reason;
    ParseCarDescription(text, body->XmlDocument, reason);
    body->Physics = CPtr<CPPhysicData>(new CPPhysicData(body));
    body->Physics->SetShape(0.5f, 1.8f, 4.0f, 40.0f);
    RbRigidBody* rigid = simulator->CreateRigidBody();
    rigid->AddGeometry()->SetBoxSize(1.8f, 4.0f, 0.5f);
    body->Physics->RigidBody = rigid;
    CPCar* car = CPCar::Create(CPtr<CPGameObject>(body), false).Get();
    Fuzz::Check(car->WheelCount >= 0 && car->WheelCount <= CarParams::MaxWheels, "the car has 0 to 8 wheels");
    car->SetControls(1.0f, 0.5f);
    for (int i = 0; i < 5; ++i) {
        simulator->Step(1.0f / 60.0f);
    }
    car->Locked = true;
    car->SetLights(true);
    simulator->Step(1.0f / 60.0f);
    Fuzz::Check(RbIsFinite(rigid->GetPosition()) && RbIsFinite(rigid->GetVelocity()), "the body stays finite");
    body->Car = nullptr;
    delete car;
    CPSceneLoader::DeleteObject(body);
    RbSimulator::Destroy(simulator);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Cfg::weight_div = 1;
    const std::string text(reinterpret_cast<const char*>(data), size);
    TiXmlDocument document;
    std::string reason;
    if (!ParseCarDescription(text, document, reason)) {
        Fuzz::Check(!reason.empty(), "a refusal says why");
        return 0;
    }
    CarParams params;
    const std::optional<CarCommandTexts> commands = ReadCarDescription(document, params);
    Fuzz::Check(params.WheelCount >= 0 && params.WheelCount <= CarParams::MaxWheels, "0 to 8 wheels");
    for (float value : {params.WheelX, params.WheelY, params.Length, params.Radius, params.FrontMinRadius,
                        params.BackMinRadius, params.Spring1, params.Spring2, params.Damping, params.MaxFrontSpeed,
                        params.MaxRearSpeed, params.FrictionFront, params.FrictionBack, params.Slide,
                        params.AccelFront, params.AccelBack, params.Brake, params.InertionYaw, params.InertionPitch}) {
        Fuzz::Check(std::isfinite(value), "every value is finite");
    }
    if (commands) {
        Fuzz::Check(IsTwoDecimalList(commands->CarParams, 4), "set_car_params is four %.2f values");
        Fuzz::Check(IsTwoDecimalList(commands->CarParams2, 2), "set_car_params2 is two %.2f values");
    }
    DriveCar(text);
    // Every object ever made stays listed; the list must not grow with the run.
    CPObject::Registry().clear();
    return 0;
}
