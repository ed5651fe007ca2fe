#include "game/CPRaceCamera.h"

#include "game/CPLevel.h"
#include "game/CPPlayer.h"

// minimal until the full one lands
CPCamera::CPCamera() : View1(new CPPerspectiveCamera()), View2(new CPPerspectiveCamera()) {}

CPCamera::~CPCamera() {
    CPPerspectiveCamera* first = View1.Get();
    CPPerspectiveCamera* second = View2.Get();
    View1 = nullptr;
    View2 = nullptr;
    delete first;
    delete second;
}

// minimal until the full one lands
void CPLevel::SetCameraMode(int mode) {
    CameraMode = mode;
    if (mode < 0 || mode > 2) {
        return;
    }
    FollowedCar = Player.Get();
    const CameraSet& set = CameraSets[mode == 1 ? 1 : 0];
    CameraDistance = set.Distance;
    CameraHeight = set.Height;
    CameraAngleDiv = set.AngleDiv;
    CameraDistanceDiv = set.DistanceDiv;
    CameraAngle = set.Angle;
    if (Camera) {
        Camera->FreeView = mode == 2;
        Camera->Changed = true;
    }
}
