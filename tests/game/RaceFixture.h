// A race set up by hand: a level whose "c_path" is a circle of straight segments, the start
// posts across its first piece, the lap tracker's points walked as the race start walks them,
// cars that are plain CPPlayer objects moved kinematically, the game data, and one script task
// that takes every command the race sends (by name to "game_interface" and "jeep", by
// category to "main"), so their order across targets can be checked.
#pragma once

#include "core/CPCommandDispatcher.h"
#include "core/CPScriptTask.h"
#include "core/ConfigVars.h"
#include "core/FrameTime.h"
#include "game/CPLevel.h"
#include "game/CPLine.h"
#include "game/CPPlayer.h"
#include "game/CPSpline.h"
#include "game/LevelFile.h"
#include "interface/CPGameData.h"
#include "platform/win32/Clock.h"
#include "platform/win32/CrtRand.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

namespace RaceFixture {

// A closed path of `segments` straight Bezier segments around a circle of `radius` about the
// origin, counter-clockwise.
inline LevelPathRecord CirclePath(float radius, int segments) {
    LevelPathRecord path;
    path.Name = "c_path";
    path.Closed = true;
    auto at = [&](int i) {
        const float a = 2.0f * D3DX_PI * static_cast<float>(i) / static_cast<float>(segments);
        return D3DXVECTOR3(radius * std::cos(a), radius * std::sin(a), 0.0f);
    };
    for (int i = 0; i < segments; ++i) {
        LevelSegmentRecord segment;
        segment.Start = at(i);
        segment.End = at(i + 1);
        segment.Control1 = segment.Start + (segment.End - segment.Start) / 3.0f;
        segment.Control2 = segment.Start + (segment.End - segment.Start) * (2.0f / 3.0f);
        path.Segments.push_back(segment);
    }
    return path;
}

// "place:1st", "show_message:finish!", "game_over:" ...
inline std::string Text(const CPCommand& command) {
    std::string text = command.Name + ":";
    for (size_t i = 0; i < command.Params.size(); ++i) {
        text += (i > 0 ? "," : "") + command.Params[i];
    }
    return text;
}

class RaceTest : public testing::Test {
protected:
    static constexpr float Radius = 200.0f;
    static constexpr int Segments = 64;

    void SetUp() override {
        Cfg::ResetDefaults();
        FrameTime = 0.0f;
        CrtSrand(1);
        PlatformClock::UseManual();
        CPGameData::Instance = &Game;
        CPCommandDispatcher::Instance = &Dispatcher;
        Log.Running = true;
        Dispatcher.RegisterName("game_interface", &Log);
        Dispatcher.RegisterName("jeep", &Log);
        Dispatcher.RegisterCategory("main", &Log);
        Level = std::make_unique<CPLevel>();
        Level->DemoMode = false;
        Level->SingleMode = true;

        auto* spline = new CPSpline();
        ASSERT_TRUE(spline->Build(CirclePath(Radius, Segments)));
        Level->CentrePath = spline;
        Level->PathLineHint = spline->FirstLine;
        // The start posts across the middle of the first piece.
        const CPLine& first = *spline->FirstLine;
        D3DXVECTOR3 along = first.End - first.Start;
        along.z = 0.0f;
        D3DXVec3Normalize(&along, &along);
        const D3DXVECTOR3 across(along.y, -along.x, 0.0f);
        const D3DXVECTOR3 centre(first.Centre.x, first.Centre.y, 0.0f);
        Level->FinishPosition = centre;
        Level->FinishDirection = across * 12.0f;

        Player = AddCar(StartAngle(), 0);
        Level->Player = Player;
        Level->FollowedCar = Player;
        Prepare(false);
    }

    void TearDown() override {
        // The cars are the test's.
        Level->Player = nullptr;
        Level->FollowedCar = nullptr;
        Level->Cars.clear();
        Level.reset();
        CPGameData::Instance = nullptr;
        Dispatcher.Unregister(&Log);
        CPCommandDispatcher::Instance = nullptr;
        PlatformClock::UseReal();
        Cfg::ResetDefaults();
        FrameTime = 0.0f;
    }

    // The points in race direction from the first piece (along Prev, or Next when reversed),
    // the finish point and the tracker's starting state, as the race start prepares them.
    void Prepare(bool reversed) {
        Level->Reversed = reversed;
        Level->PathPoints.clear();
        CPLine* first = Level->CentrePath->FirstLine;
        CPLine* line = first;
        do {
            Level->PathPoints.push_back(line);
            line = reversed ? line->Next : line->Prev;
        } while (line != first);
        Level->FinishPoint = Level->FindNearestPathPoint(Level->FinishPosition);
        Level->PlayerLapProgress = 0;
        Level->ResetLapSlots();
        Level->FinishSlots = {-1, -1, -1};
        Level->RaceOver = false;
        Level->GameOverSent = false;
    }

    // Angle on the circle of the finish line (the first piece's centre).
    float StartAngle() const {
        const D3DXVECTOR3& c = Level->FinishPosition;
        return std::atan2(c.y, c.x);
    }

    // A car on the circle at angle, owned by the test.
    CPPlayer* AddCar(float angle, uint32_t sideFlags) {
        cars.push_back(std::make_unique<CPPlayer>());
        CPPlayer* car = cars.back().get();
        car->SetSideFlags(sideFlags);
        Place(car, angle);
        return car;
    }
    void Place(CPGameObject* car, float angle, float radius = Radius) {
        car->SetPosition(D3DXVECTOR3(radius * std::cos(angle), radius * std::sin(angle), 0.0f));
        car->UpdateTransform();
    }

    // One update of frame time dt.
    void Frame(float dt = 1.0f / 60.0f) {
        FrameTime = dt;
        PlatformClock::AdvanceMicroseconds(static_cast<uint64_t>(dt * 1e6f));
        Level->Update();
    }

    // The commands received so far, oldest first, then forgotten.
    std::vector<std::string> TakeCommands() {
        std::vector<std::string> texts;
        for (auto it = Log.Commands.rbegin(); it != Log.Commands.rend(); ++it) {
            texts.push_back(Text(*it));
        }
        Log.Commands.clear();
        Log.Current = nullptr;
        return texts;
    }

    CPGameData Game;
    CPCommandDispatcher Dispatcher;
    CPScriptTask Log;
    std::unique_ptr<CPLevel> Level;
    CPPlayer* Player = nullptr;
    std::vector<std::unique_ptr<CPPlayer>> cars;
};

}  // namespace RaceFixture
