#include "host/Host.h"

#include "core/CPLog.h"
#include "core/FrameTime.h"
#include "core/Singletons.h"
#include "game/CPLevel.h"
#include "game/CPRaceCamera.h"
#include "scene/CPPerspectiveCamera.h"
#include "scene/MainView.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

namespace {

// A task that counts its steps and stops and runs a scene-specific action on each step.
class Actor : public CPTask {
public:
    void Update() override {
        ++steps;
        if (onUpdate) {
            onUpdate();
        }
    }
    void Stop() override {
        ++stops;
        CPTask::Stop();
    }
    int GetKind() const override { return 0; }
    size_t GetObjectSize() const override { return sizeof(*this); }
    std::string GetTypeName() const override { return "Actor"; }

    int id = 0;
    int steps = 0;
    int stops = 0;
    std::function<void()> onUpdate;
};

// The ids of the listed tasks that are among actors, in list order; the host's own tasks
// (the music player) are left out.
template <size_t N>
std::vector<int> ListedActors(Host& host, const std::array<Actor, N>& actors) {
    std::vector<int> ids;
    for (const CPtr<CPTask>& task : host.Scheduler().Tasks) {
        for (const Actor& actor : actors) {
            if (task.Get() == &actor) {
                ids.push_back(actor.id);
            }
        }
    }
    return ids;
}

TEST(Host, OwnsTheSingletonsWhileItLives) {
    {
        Host host;
        EXPECT_EQ(CPScheduler::Instance, &host.Scheduler());
        EXPECT_EQ(GetCommandDispatcher(), &host.Dispatcher());
    }
    EXPECT_EQ(CPScheduler::Instance, nullptr);
    EXPECT_EQ(GetCommandDispatcher(), nullptr);
}

// Reports have somewhere to go: a host attaches a receiver (standard error) when the program
// has none, and keeps the program's own.
TEST(Host, AttachesALogReceiverUnlessThereIsOne) {
    CPLog::GetInstance().SetSink({});
    {
        Host host;
        EXPECT_TRUE(CPLog::GetInstance().HasSink());
    }
    std::vector<std::string> seen;
    CPLog::GetInstance().SetSink([&seen](const CPLogReport& r) { seen.push_back(r.Text); });
    {
        Host host;
        CPLog::GetInstance().Write(0, "kept");
    }
    EXPECT_EQ(seen, std::vector<std::string>{"kept"});
    CPLog::GetInstance().SetSink({});
}

TEST(Host, OwnsTheGameWorldsSingletonsAndEndsALevelStillCurrent) {
    {
        Host host;
        EXPECT_EQ(GetParticleManager(), &host.ParticleManager());
        EXPECT_EQ(GetPhysicWorld(), &host.PhysicWorld());
        EXPECT_EQ(CPAIManager::Instance, &host.AIManager());
        EXPECT_EQ(GetShotManager(), &host.ShotManager());
        // A folder without the shadow effect gives no default shadow material.
        EXPECT_EQ(host.Render().GetShadowMaterial(), nullptr);
        // A level with its camera (MainView) still current when the host ends.
        auto* level = new CPLevel();
        level->Camera = new CPCamera();
        host.PhysicWorld().Priority = 400;
        host.Scheduler().AddTask(CPtr<CPPhysicWorld>(&host.PhysicWorld()));
        EXPECT_EQ(MainView, level->Camera->GetView1());
    }
    EXPECT_EQ(CPLevel::Current, nullptr);
    EXPECT_EQ(MainView, nullptr);
    EXPECT_EQ(GetParticleManager(), nullptr);
    EXPECT_EQ(GetPhysicWorld(), nullptr);
    EXPECT_EQ(CPAIManager::Instance, nullptr);
    EXPECT_EQ(GetShotManager(), nullptr);
}

TEST(Host, RunFrameAdvancesTheClocks) {
    Host host;
    EXPECT_EQ(FrameNumber, 0);
    EXPECT_TRUE(host.RunFrame(0.25f));
    EXPECT_TRUE(host.RunFrame(0.5f));
    EXPECT_EQ(FrameTime, 0.5f);
    EXPECT_EQ(FullTime, 0.75);
    EXPECT_EQ(FrameNumber, 2);

    for (const float bad : {-0.01f, std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()}) {
        EXPECT_FALSE(host.RunFrame(bad)) << bad;
    }
    EXPECT_EQ(FrameTime, 0.5f);
    EXPECT_EQ(FrameNumber, 2);

    // A stalled frame reaches the tasks as the longest frame.
    host.RunFrame(3.0f);
    EXPECT_EQ(FrameTime, Host::MaxFrameTime);
    EXPECT_EQ(FullTime, 0.75 + Host::MaxFrameTime);
}

TEST(Host, StepsRunningTasksInPriorityOrderAndSeesTheFrameTime) {
    std::array<Actor, 3> actors;
    Host host;
    std::vector<int> order;
    std::vector<float> seen;
    const int priorities[] = {500, 100, 5000};
    for (int i = 0; i < 3; ++i) {
        actors[i].id = i;
        actors[i].Priority = priorities[i];
        actors[i].onUpdate = [&order, &seen, i] {
            order.push_back(i);
            seen.push_back(FrameTime);
        };
        ASSERT_TRUE(host.Scheduler().AddTask(CPtr<Actor>(&actors[i])));
    }
    actors[2].Running = false;  // listed but not running: skipped, kept
    host.RunFrame(1.0f / 60.0f);
    EXPECT_EQ(order, (std::vector<int>{1, 0}));
    EXPECT_EQ(seen, (std::vector<float>{1.0f / 60.0f, 1.0f / 60.0f}));
    EXPECT_EQ(ListedActors(host, actors), (std::vector<int>{1, 0, 2}));
}

// Tasks 0..3 at priorities 10, 20, 30, 40; each case gives task 0 or 1 an action, runs
// frames, and checks every task's steps and stops and the ids left in the list.
TEST(Host, TasksThatAddStopAndKillOthersDuringAStep) {
    struct World {
        std::array<Actor, 5> actors;  // declared before the host, which releases them
        Host host;
        bool Add(int i) { return host.Scheduler().AddTask(CPtr<Actor>(&actors[i])); }
    };
    struct Case {
        const char* name;
        std::vector<int> listedAtStart;
        std::function<void(World&)> script;
        int frames;
        std::array<int, 5> steps;
        std::array<int, 5> stops;
        std::vector<int> listed;
    };
    const Case cases[] = {
        {"an added task behind the stepper runs in the same frame, ahead from the next",
         {1},
         [](World& w) {
             w.actors[1].onUpdate = [&w] {
                 w.Add(0);  // priority 10, ahead of 1
                 w.Add(3);  // priority 40, behind 1
             };
         },
         2, {1, 2, 0, 2, 0}, {0, 0, 0, 0, 0}, {0, 1, 3}},
        {"a task stopped by one ahead of it is not stepped and leaves the list",
         {0, 1, 2},
         [](World& w) {
             w.actors[0].onUpdate = [&w] {
                 if (w.actors[0].steps == 1) {
                     w.actors[2].Stop();
                 }
             };
         },
         2, {2, 2, 0, 0, 0}, {0, 0, 1, 0, 0}, {0, 1}},
        {"a task stopped after its step leaves the list",
         {0, 1},
         [](World& w) {
             w.actors[1].onUpdate = [&w] {
                 if (w.actors[1].steps == 1) {
                     w.actors[0].Stop();
                 }
             };
         },
         2, {1, 2, 0, 0, 0}, {1, 0, 0, 0, 0}, {1}},
        {"a task that stops itself runs out its step and leaves",
         {0, 1},
         [](World& w) { w.actors[0].onUpdate = [&w] { w.actors[0].Stop(); }; },
         3, {1, 3, 0, 0, 0}, {1, 0, 0, 0, 0}, {1}},
        {"kill: nobody behind is stepped, everyone is stopped once and can be added again",
         {0, 1, 2, 3},
         [](World& w) {
             w.actors[1].onUpdate = [&w] {
                 if (w.actors[1].steps == 1) {
                     w.host.Scheduler().KillAllTasks();
                 }
             };
         },
         1, {1, 1, 0, 0, 0}, {1, 1, 1, 1, 0}, {}},
        {"kill then add in one step keeps the new task",
         {0, 1, 2},
         [](World& w) {
             w.actors[0].onUpdate = [&w] {
                 if (w.actors[0].steps == 1) {
                     w.host.Scheduler().KillAllTasks();
                     w.Add(3);
                 }
             };
         },
         2, {1, 0, 0, 2, 0}, {1, 1, 1, 0, 0}, {3}},
        {"a task stopped and added again in one step runs once per frame and is listed once",
         {0, 1, 2},
         [](World& w) {
             w.actors[0].onUpdate = [&w] {
                 w.actors[1].Stop();
                 w.Add(1);
             };
         },
         3, {3, 3, 3, 0, 0}, {0, 3, 0, 0, 0}, {0, 1, 2}},
        {"a task stopped and added again at a higher priority value is listed where that puts it",
         {0, 1, 2},
         [](World& w) {
             w.actors[0].onUpdate = [&w] {
                 if (w.actors[0].steps == 1) {
                     w.actors[1].Stop();
                     w.actors[1].Priority = 35;
                     w.Add(1);
                 }
             };
         },
         2, {2, 2, 2, 0, 0}, {0, 1, 0, 0, 0}, {0, 2, 1}},
        {"a task stopped and added again at a lower priority value is listed where that puts it",
         {0, 1, 2},
         [](World& w) {
             w.actors[0].onUpdate = [&w] {
                 if (w.actors[0].steps == 1) {
                     w.actors[2].Stop();
                     w.actors[2].Priority = 5;
                     w.Add(2);
                 }
             };
         },
         2, {2, 2, 2, 0, 0}, {0, 0, 1, 0, 0}, {2, 0, 1}},
        {"a task that restarts itself runs once per frame",
         {0, 1},
         [](World& w) {
             w.actors[0].onUpdate = [&w] {
                 w.actors[0].Stop();
                 w.Add(0);
             };
         },
         3, {3, 3, 0, 0, 0}, {3, 0, 0, 0, 0}, {0, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        World w;
        for (int i = 0; i < 5; ++i) {
            w.actors[i].id = i;
            w.actors[i].Priority = 10 * (i + 1);
        }
        for (const int i : c.listedAtStart) {
            ASSERT_TRUE(w.Add(i));
        }
        c.script(w);
        for (int frame = 0; frame < c.frames; ++frame) {
            w.host.RunFrame(0.1f);
        }
        std::array<int, 5> steps{}, stops{};
        for (int i = 0; i < 5; ++i) {
            steps[i] = w.actors[i].steps;
            stops[i] = w.actors[i].stops;
        }
        EXPECT_EQ(steps, c.steps);
        EXPECT_EQ(stops, c.stops);
        EXPECT_EQ(ListedActors(w.host, w.actors), c.listed);
    }
}

TEST(Host, KilledTaskCanBeAddedAgainAfterTheFrame) {
    std::array<Actor, 1> actors;
    Actor& actor = actors[0];
    Host host;
    ASSERT_TRUE(host.Scheduler().AddTask(CPtr<Actor>(&actor)));
    host.Scheduler().KillAllTasks();
    EXPECT_FALSE(host.Scheduler().AddTask(CPtr<Actor>(&actor)));  // still running
    host.RunFrame(0.1f);
    EXPECT_FALSE(actor.Running);
    EXPECT_EQ(actor.stops, 1);
    EXPECT_TRUE(ListedActors(host, actors).empty());
    ASSERT_TRUE(host.Scheduler().AddTask(CPtr<Actor>(&actor)));
    host.RunFrame(0.1f);
    EXPECT_EQ(actor.steps, 1);
}

TEST(Host, ScriptTasksRegisterByNameAndCategory) {
    CPScriptTask menu, hud, replacement;
    Host host;
    for (CPScriptTask* task : {&menu, &hud, &replacement}) {
        ASSERT_TRUE(host.Scheduler().AddTask(CPtr<CPScriptTask>(task)));
    }
    EXPECT_FALSE(host.RegisterScriptTask(nullptr, "main", {"main"}));
    ASSERT_TRUE(host.RegisterScriptTask(&menu, "gamemenu", {"interface", "main"}));
    ASSERT_TRUE(host.RegisterScriptTask(&hud, "game_interface", {"interface"}));

    CPCommandDispatcher* dispatcher = GetCommandDispatcher();
    ASSERT_NE(dispatcher, nullptr);
    dispatcher->SendCommandByCategory("interface", "mouse_up", "");
    dispatcher->SendCommandByName("gamemenu", "change_money", "12.50");
    EXPECT_EQ(menu.Commands.size(), 2u);
    EXPECT_EQ(hud.Commands.size(), 1u);

    // Taking over a name drops the previous holder from every category as well.
    ASSERT_TRUE(host.RegisterScriptTask(&replacement, "gamemenu", {}));
    dispatcher->SendCommandByCategory("main", "level", "");
    dispatcher->SendCommandByName("gamemenu", "level", "");
    EXPECT_EQ(menu.Commands.size(), 2u);
    EXPECT_EQ(replacement.Commands.size(), 1u);

    host.UnregisterScriptTask(&hud);
    dispatcher->SendCommandByName("game_interface", "gone", "");
    EXPECT_EQ(hud.Commands.size(), 1u);
}

}  // namespace
