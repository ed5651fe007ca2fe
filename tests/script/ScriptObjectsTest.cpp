// Object and player-car functions through scripts: scene objects moved, turned, pushed,
// inspected and cloned; the followed car read and steered; the player's game data values; any
// car's controls; and the debug tuner.
#include "ScriptCarFixture.h"

#include "Render/CPRender.h"
#include "game/CPCar.h"
#include "interface/CPGameData.h"
#include "physics/RbKinematicBody.h"
#include "physics/RbRigidBody.h"
#include "scene/CPPerspectiveCamera.h"
#include "scene/CPPhysicData.h"
#include "scene/CPSceneLoader.h"

#include <cmath>
#include <memory>
#include <string>
#include <vector>

namespace {

using ScriptCarFixture::ScriptCarTest;

class ScriptObjectsTest : public ScriptCarTest {
protected:
    void SetUp() override {
        ScriptCarTest::SetUp();
        car = MakeCar(D3DXVECTOR3(0.0f, 0.0f, 1.0f), CPPlayer::SideSolmar | CPPlayer::SidePlayer, "hauler_");
        level->FollowedCar = car;
        level->Player = CPtr<CPPlayer>(car);
        SetHandle("car", car);
        SetHandle("box", &box);
    }
    RbRigidBody& Body() { return *car->Physics->RigidBody; }

    CPPlayer* car = nullptr;
    CPGameObject box{"box"};
};

TEST_F(ScriptObjectsTest, ObjectsMoveAndTurnWithTheirSubstitutesAndReadBack) {
    CPGameObject substitute("box_far");
    box.LodLevels = {{CPtr<CPGameObject>(&box), 0}, {CPtr<CPGameObject>(&substitute), 100}};
    box.SetBounds(CPBox(D3DXVECTOR3(0.0f, 0.0f, 0.0f), D3DXVECTOR3(1.0f, 2.0f, 3.0f)));
    Run("SetPosition(box, 1, 2, 3)\n"
        "local x, y, z = GetPosition(box)\n"
        "assert(x == 1 and y == 2 and z == 3)\n"
        "local cx, cy, cz, x0, y0, z0, x1, y1, z1 = GetBBoxInfo(box)\n"
        "assert(cx == 1 and cy == 2 and cz == 3, cx)\n"
        "assert(x0 == 0 and y0 == 0 and z0 == 0 and x1 == 2 and y1 == 4 and z1 == 6)\n"
        "SetRotation(box, 0, 0, 0)\n"
        "assert(select('#', GetPosition(nil)) == 0 and select('#', GetBBoxInfo(nil)) == 0)\n"
        "SetPosition(nil, 1, 2, 3) SetRotation(nil, 1, 2, 3)\n");
    EXPECT_EQ(substitute.Position, D3DXVECTOR3(1.0f, 2.0f, 3.0f));
    EXPECT_FALSE(box.TransformDirty);
    EXPECT_FLOAT_EQ(box.WorldMatrix._42, 2.0f);
    EXPECT_EQ(box.Orientation, D3DXQUATERNION(0.0f, 0.0f, 0.0f, 1.0f));
    // A quarter turn about z: the x rotation applies first, then y, then z.
    Run("SetRotation(box, 0, 0, math.pi / 2)");
    EXPECT_NEAR(box.Orientation.z, std::sqrt(0.5f), 1e-6f);
    EXPECT_NEAR(box.Orientation.w, std::sqrt(0.5f), 1e-6f);
    EXPECT_NEAR(substitute.Orientation.z, std::sqrt(0.5f), 1e-6f);
    box.LodLevels.clear();
}

TEST_F(ScriptObjectsTest, AKinematicBodyMovesInsteadOfTheRigidOne) {
    RbKinematicBody kinematic;
    car->Physics->KinematicBody = &kinematic;
    const RbVector rigidBefore = Body().GetPosition();
    Run("SetPosition(car, 5, 6, 7) SetRotation(car, 0, 0, math.pi)\n"
        "assert(GetObjectSpeed(car) == 0)\n");
    EXPECT_FLOAT_EQ(kinematic.GetPosition().x, 5.0f);
    EXPECT_FLOAT_EQ(kinematic.GetPosition().z, 7.0f);
    EXPECT_FLOAT_EQ(Body().GetPosition().x, rigidBefore.x);
    EXPECT_FLOAT_EQ(Body().GetOrientation().w, 1.0f);
    car->Physics->KinematicBody = nullptr;
    Run("SetPosition(car, 5, 6, 7)");
    EXPECT_FLOAT_EQ(Body().GetPosition().x, 5.0f);

    // An object whose physics is only a kinematic body has no speed and is not rigid.
    CPPhysicData physics(&box);
    physics.KinematicBody = &kinematic;
    box.Physics = CPtr<CPPhysicData>(&physics);
    Run("assert(GetObjectSpeed(box) == 0 and IsRigid(box) == false)\n"
        "SetPosition(box, 1, 1, 1) Jump(box, 0, 0, 5)\n");
    EXPECT_FLOAT_EQ(kinematic.GetPosition().x, 1.0f);
    box.Physics = nullptr;
}

TEST_F(ScriptObjectsTest, SpeedsRigidityJumpsAndImpulses) {
    Body().SetVelocity(RbVec(3.0f, 4.0f, 0.0f));
    Run("assert(GetObjectSpeed(car) == 5)\n"
        "assert(GetObjectSpeed(box) == 0 and GetObjectSpeed(nil) == 0)\n"
        "assert(IsRigid(car) == true and IsRigid(box) == false and IsRigid(nil) == false)\n");
    Body().SetVelocity(RbVec(0.0f, 0.0f, 0.0f));
    Run("assert(GetObjectSpeed(car) == 0)\n"
        "Jump(car, 0, 0, 40)\n"
        "Jump(box, 0, 0, 40) Jump(nil, 0, 0, 40)\n");
    EXPECT_NEAR(Body().GetVelocity().z, 40.0f / ScriptCarFixture::CarWorld::Mass, 1e-4f);
    Run("ApplyImpulse(car, 0, 0, 40) ApplyImpulse(nil, 0, 0, 40)");
    EXPECT_NEAR(Body().GetVelocity().z, 80.0f / ScriptCarFixture::CarWorld::Mass, 1e-4f);
    // Only a car takes ApplyImpulse.
    const ScriptError error = RunFailing("ApplyImpulse(box, 0, 0, 1)");
    EXPECT_NE(error.Message.find("ApplyImpulse: stale or invalid handle"), std::string::npos) << error.Message;
}

TEST_F(ScriptObjectsTest, FindCloneShowAndAnimate) {
    box.AddChild(CPtr<CPGameObject>(new CPGameObject("lid")));
    Run("local lid = FindObject(box, 'lid')\n"
        "assert(lid ~= nil and FindObject(box, 'none') ~= nil)\n"
        "local none = FindObject(nil, 5)\n"
        "assert(type(none) == 'userdata')\n"
        "SetObjectVisible(box, false)\n"
        "SetObjectVisible(nil, false)\n"
        "assert(select('#', Clone(nil)) == 0)\n"
        "copy = Clone(box)\n"
        "StartAnimation(box, 'idle', 2, nil) StartAnimation(nil, 'idle', 2, nil)\n");
    EXPECT_FALSE(box.Visible);
    lua_getglobal(L(), "copy");
    auto* copy = static_cast<CPGameObject*>(lua_touserdata(L(), -1));
    lua_pop(L(), 1);
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy, &box);
    EXPECT_EQ(copy->Name, "box");
    EXPECT_NE(copy->FindChild("lid"), nullptr);
    const ScriptError error = RunFailing("FindObject(box, {})");
    EXPECT_NE(error.Message.find("bad argument #2"), std::string::npos) << error.Message;
    Run("assert(FindObject(box, 'lid') ~= FindObject(nil, 'lid'))");
    CPGameObject* lid = box.FindChild("lid").Get();
    CPSceneLoader::DeleteObject(lid);
}

TEST_F(ScriptObjectsTest, ACloneGoesWithTheLevelWholeAsLoadedObjectsDo) {
    box.AddChild(CPtr<CPGameObject>(new CPGameObject("lid")));
    box.Physics = CPtr<CPPhysicData>(new CPPhysicData(&box));
    Run("copy = Clone(box)\n"
        "again = Clone(copy)\n");
    std::vector<const CPObject*> made;
    for (const char* name : {"copy", "again"}) {
        lua_getglobal(L(), name);
        auto* copy = static_cast<CPGameObject*>(lua_touserdata(L(), -1));
        lua_pop(L(), 1);
        ASSERT_NE(copy, nullptr) << name;
        made.insert(made.end(), {copy, copy->FindChild("lid").Get(), copy->Physics.Get()});
    }
    ASSERT_EQ(level->ScriptObjects.size(), 2u);
    DeleteLevel();
    for (const CPObject* object : made) {
        EXPECT_EQ(CPObject::FindLive(object), nullptr);
    }
    CPPhysicData* physics = box.Physics.Get();
    CPGameObject* lid = box.FindChild("lid").Get();
    box.Physics = nullptr;
    box.Children.clear();
    box.ChildrenByName.clear();
    delete physics;
    delete lid;
}

TEST_F(ScriptObjectsTest, WithoutALevelTheFollowedCarFunctionsGiveTheirDefaults) {
    DeleteLevel();
    Run("local x, y, z = GetPlayerPosition()\n"
        "assert(x == 0 and y == 0 and z == 0)\n"
        "assert(GetPlayerSpeed() == 0 and GetPlayerSlide() == 1)\n"
        "assert(select('#', GetPlayerDirection()) == 0)\n"
        "assert(select('#', GetPlayerMass()) == 0 and select('#', GetPlayerMass(car)) == 0)\n"
        "assert(select('#', ActivateAbilities()) == 0 and select('#', GetPlayerDamage()) == 0)\n"
        "assert(select('#', IsPlayerMoveForward()) == 0)\n"
        "assert(IsDead() == true and IsNitro() == false and select('#', GetNitro()) == 0)\n"
        "assert(IsPlayerMovingBackwards() == false)\n"
        "PlayerApplyImpulse(0, 0, 10) StopPlayerCar() PlayerNitro(5) SetAbilitiesCount(2)\n"
        "LockPlayers(true) LockPlayer(true) SetWeaponPos(1, 2, 3, car) Pleft() Pright()\n");
    EXPECT_FALSE(car->Locked);
    EXPECT_EQ(car->AbilityCount, 0);
}

TEST_F(ScriptObjectsTest, TheFollowedCarIsReadAndPushed) {
    level->FollowedSpeed = 12.0f;
    car->DamageLevel = 30.0f;
    car->AbilityCount = 2;
    host->GameData().MaxAbilityCount = 5;
    Run("local x, y, z = GetPlayerPosition()\n"
        "assert(x == 0 and y == 0 and z == 1)\n"
        "assert(GetPlayerSpeed() == 12)\n"
        "local dx, dy, dz = GetPlayerDirection()\n"
        "assert(math.abs(dx) < 1e-6 and math.abs(dy + 1) < 1e-6 and math.abs(dz) < 1e-6)\n"
        "assert(GetPlayerMass() == 40 and GetPlayerMass(car) == 40)\n"
        "assert(GetPlayerMass(nil) == 0 and GetPlayerMass(box) == 0)\n"
        "local a, m = ActivateAbilities()\n"
        "assert(a == 2 and m == 5)\n"
        "SetAbilitiesCount(4.9)\n"
        "assert(GetPlayerDamage() == 30 and IsDead() == false)\n");
    EXPECT_EQ(car->AbilityCount, 4);
    // The wrong-way test of the level: heading against the path.
    level->PathHeading = 0.0f;
    level->FollowedHeading = 3.0f;
    Run("assert(IsPlayerMovingBackwards() == true)");
    level->FollowedHeading = 0.5f;
    Run("assert(IsPlayerMovingBackwards() == false)");
    // An impulse at the car's own position pushes without turning; off its centre it turns.
    Run("PlayerApplyImpulse(0, 0, 10)");
    EXPECT_NEAR(Body().GetVelocity().z, 10.0f / ScriptCarFixture::CarWorld::Mass, 1e-5f);
    EXPECT_NEAR(Body().Motion.AngularMomentum.x, 0.0f, 1e-6f);
    EXPECT_NEAR(Body().Motion.AngularMomentum.y, 0.0f, 1e-6f);
    Run("PlayerApplyImpulse(1, 0, 1, 0, 0, 10)");
    EXPECT_NEAR(Body().GetVelocity().z, 20.0f / ScriptCarFixture::CarWorld::Mass, 1e-5f);
    EXPECT_NEAR(Body().Motion.AngularMomentum.y, -10.0f, 1e-4f);
    // Stopping pushes against the car's velocity of its last slice, four times over.
    Body().SetVelocity(RbVec(0.0f, 0.0f, 0.0f));
    car->GetCar()->Velocity = RbVec(2.0f, 0.0f, 0.0f);
    Run("StopPlayerCar()");
    EXPECT_NEAR(Body().GetVelocity().x, -8.0f / ScriptCarFixture::CarWorld::Mass, 1e-5f);
}

TEST_F(ScriptObjectsTest, NitroLockAndGameDataValues) {
    CPCar& model = *car->GetCar();
    model.NitroFuel = 50.0f;
    Run("assert(GetNitro() == 50 and IsNitro() == false)\n"
        "PlayerNitro(3)\n"
        "assert(IsNitro() == true)\n");
    EXPECT_FLOAT_EQ(model.Nitro, 3.0f);
    // After "game_over" the nitro stays as it is.
    level->GameOverSent = true;
    Run("PlayerNitro(0)");
    EXPECT_FLOAT_EQ(model.Nitro, 3.0f);
    // Without a vehicle model there is no nitro.
    CPPlayer* bareCar = MakeBareCar(D3DXVECTOR3(0.0f, 0.0f, 0.0f), CPPlayer::SidePlayer);
    level->FollowedCar = bareCar;
    Run("assert(IsNitro() == false and GetNitro() == 0 and GetPlayerMass() == 0)");
    level->FollowedCar = car;

    CPPlayer* other = MakeCar(D3DXVECTOR3(10.0f, 0.0f, 1.0f), CPPlayer::SideDrevik);
    level->Cars = {CPtr<CPPlayer>(other)};
    Run("LockPlayer(true)");
    EXPECT_TRUE(car->Locked);
    EXPECT_FALSE(other->Locked);
    Run("LockPlayers(false)");
    EXPECT_FALSE(car->Locked);
    Run("LockPlayers(0)");  // the number 0 is true
    EXPECT_TRUE(car->Locked);
    EXPECT_TRUE(other->Locked);

    Run("SetMaxAbilityCount(7.5) SetPlayerMana(-3.5)\n"
        "assert(GetPlayerMana() == -3)\n");
    EXPECT_EQ(host->GameData().MaxAbilityCount, 7);
}

TEST_F(ScriptObjectsTest, AnyCarTakesControlsTimeBonusAndGloom) {
    Run("SetCarParams(car, 0.5, -0.25) SetCarParams(nil, 1, 1)\n"
        "SetTimeBonus(car) SetTimeBonus(nil)\n"
        "assert(IsInGloom(car) == false and IsInGloom(nil) == false)\n");
    EXPECT_FLOAT_EQ(car->Throttle, 0.5f);
    EXPECT_FLOAT_EQ(car->Steering, -0.25f);
    EXPECT_FLOAT_EQ(car->TimeBonusTimer, 4.0f);
    car->InGloom = true;
    Run("assert(IsInGloom(car) == true)");
    // The weapon update aims the player's weapon at the point.
    car->WeaponSlot = -1;
    Run("SetWeaponPos(4, 5, 6, car)");
    EXPECT_EQ(car->AimPoint, D3DXVECTOR3(4.0f, 5.0f, 6.0f));
}

TEST_F(ScriptObjectsTest, TheTunerStepsTheSelectedValueWithinItsRange) {
    CPRender& render = host->Render();
    render.TuneIndex = 0;
    Run("Pup()");
    EXPECT_EQ(render.TuneIndex, 0);
    Run("for i = 1, 30 do Pdown() end");
    EXPECT_EQ(render.TuneIndex, 18);
    CPCar& model = *car->GetCar();
    render.TuneIndex = 8;
    const float damping = model.Damping;
    Run("Pleft()");
    EXPECT_FLOAT_EQ(model.Damping, damping - 10.0f);
    render.TuneIndex = 13;
    const float slide = model.Slide;
    Run("Pright() Pright()");
    EXPECT_FLOAT_EQ(model.Slide, slide + 0.1f);
    render.TuneIndex = 19;
    Run("Pleft()");  // outside the table: nothing
    EXPECT_FLOAT_EQ(model.Slide, slide + 0.1f);
}

TEST_F(ScriptObjectsTest, VisibilityAndDirectionFollowTheRaceCamera) {
    CPPerspectiveCamera& view = *camera->GetView1();
    view.Position = D3DXVECTOR3(0.0f, 20.0f, 1.0f);
    view.Target = D3DXVECTOR3(0.0f, 0.0f, 1.0f);
    view.Up = D3DXVECTOR3(0.0f, 0.0f, 1.0f);
    view.Fov = 0.8f;
    view.Near = 1.0f;
    view.Far = 500.0f;
    view.ViewDirty = true;
    view.ProjectionDirty = true;
    view.Update();
    CPGameObject behind("behind");
    behind.CollisionBounds.Min = D3DXVECTOR3(-1.0f, 40.0f, 0.0f);
    behind.CollisionBounds.Max = D3DXVECTOR3(1.0f, 42.0f, 2.0f);
    box.CollisionBounds.Min = D3DXVECTOR3(-1.0f, -1.0f, 0.0f);
    box.CollisionBounds.Max = D3DXVECTOR3(1.0f, 1.0f, 2.0f);
    SetHandle("behind", &behind);
    Run("assert(CheckVisible(box) == true and CheckVisible(behind) == false and CheckVisible(nil) == false)");
    // The camera looks along -y: a car driving along -y moves forward, along +y backwards.
    camera->LookTarget = D3DXVECTOR3(0.0f, 0.0f, 1.0f);
    car->GetCar()->Velocity = RbVec(0.0f, -5.0f, 0.0f);
    Run("assert(IsPlayerMoveForward() == true)");
    car->GetCar()->Velocity = RbVec(1.0f, 5.0f, 0.0f);
    Run("assert(IsPlayerMoveForward() == false)");
    // In free view the free look-at point counts.
    camera->FreeView = true;
    camera->FreeLookAt = D3DXVECTOR3(0.0f, 40.0f, 1.0f);
    Run("assert(IsPlayerMoveForward() == true)");
    level->Camera = nullptr;
    Run("assert(CheckVisible(box) == false and select('#', IsPlayerMoveForward()) == 0)");
    level->Camera = CPtr<CPCamera>(camera);
}

}  // namespace
