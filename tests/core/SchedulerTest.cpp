#include "core/CPObjUpdater.h"
#include "core/CPScheduler.h"
#include "core/CPTask.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace {

class Probe : public CPTask {
public:
    explicit Probe(int id = 0) : id(id) {}
    void Update() override { ++steps; }
    int GetKind() const override { return 7; }
    size_t GetObjectSize() const override { return sizeof(*this); }
    std::string GetTypeName() const override { return "Probe"; }
    int id;
    int steps = 0;
};

std::vector<int> ListedIds(const CPScheduler& scheduler) {
    std::vector<int> ids;
    for (const CPtr<CPTask>& task : scheduler.Tasks) {
        ids.push_back(static_cast<Probe*>(task.Get())->id);
    }
    return ids;
}

TEST(CPTask, StartStopAndDefaults) {
    Probe task;
    EXPECT_FALSE(task.Running);
    EXPECT_FALSE(task.Finished);
    EXPECT_EQ(task.Priority, 5000);
    EXPECT_EQ(task.Clone(), nullptr);

    task.Finished = true;
    EXPECT_TRUE(task.Start());
    EXPECT_TRUE(task.Running);
    EXPECT_FALSE(task.Finished);

    task.Finished = true;  // a second start changes nothing
    EXPECT_FALSE(task.Start());
    EXPECT_TRUE(task.Finished);

    task.Stop();
    EXPECT_FALSE(task.Running);
    EXPECT_TRUE(task.Finished);
}

// Each case runs a sequence of operations on fresh tasks 0..4 and checks every result and
// the final order of the list.
TEST(CPScheduler, OrderingAndRefusals) {
    enum Kind { Add, AddNull, Stop, Kill };
    struct Op {
        Kind kind;
        int task = 0;
        int priority = 5000;
        bool result = true;
    };
    struct Case {
        const char* name;
        std::vector<Op> ops;
        std::vector<int> listed;
    };
    const Case cases[] = {
        {"ascending, equal priorities in arrival order",
         {{Add, 0, 500}, {Add, 1, 100}, {Add, 2, 500}, {Add, 3, 5000}, {Add, 4, 100}},
         {1, 4, 0, 2, 3}},
        {"negative before zero", {{Add, 0, 0}, {Add, 1, -1}, {Add, 2, -2147483647 - 1}}, {2, 1, 0}},
        {"default priority runs after the engine's", {{Add, 0, 5000}, {Add, 1, 400}, {Add, 2, 200}}, {2, 1, 0}},
        {"running task refused, list unchanged", {{Add, 0, 100}, {Add, 1, 200}, {Add, 0, 300, false}}, {0, 1}},
        {"null refused", {{AddNull, 0, 0, false}}, {}},
        {"stopped task added again is listed twice", {{Add, 0, 10}, {Stop, 0}, {Add, 0, 10}}, {0, 0}},
        {"killed task still running, so refused",
         {{Add, 0, 10}, {Add, 1, 20}, {Kill}, {Add, 0, 5, false}, {Add, 2, 15}},
         {0, 2, 1}},
        {"killed then stopped task can be added", {{Add, 0, 10}, {Kill}, {Stop, 0}, {Add, 0, 1}}, {0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::array<Probe, 5> probes{Probe(0), Probe(1), Probe(2), Probe(3), Probe(4)};
        CPScheduler scheduler;
        for (const Op& op : c.ops) {
            Probe& probe = probes[static_cast<size_t>(op.task)];
            switch (op.kind) {
            case Add:
                probe.Priority = op.priority;
                EXPECT_EQ(scheduler.AddTask(CPtr<Probe>(&probe)), op.result);
                break;
            case AddNull:
                EXPECT_EQ(scheduler.AddTask(CPtr<CPTask>()), op.result);
                break;
            case Stop:
                probe.Stop();
                break;
            case Kill:
                scheduler.KillAllTasks();
                break;
            }
        }
        EXPECT_EQ(ListedIds(scheduler), c.listed);
    }
}

TEST(CPScheduler, KillFlagsEveryTaskAndKeepsTheList) {
    Probe a(1), b(2);
    CPScheduler scheduler;
    CPtr<CPTask> held(&a);
    ASSERT_TRUE(scheduler.AddTask(held));
    ASSERT_TRUE(scheduler.AddTask(CPtr<Probe>(&b)));
    scheduler.KillAllTasks();
    for (const Probe* task : {&a, &b}) {
        EXPECT_TRUE(task->Finished);
        EXPECT_TRUE(task->Running);
    }
    EXPECT_EQ(scheduler.Tasks.size(), 2u);
}

TEST(CPScheduler, ListHoldsOneReference) {
    Probe task;
    CPScheduler scheduler;
    CPtr<CPTask> held(&task);
    ASSERT_TRUE(scheduler.AddTask(held));
    EXPECT_EQ(task.GetRefCount(), 2);
}

class LevelBase {
public:
    void Tick() { ++ticks; }
    int ticks = 0;
};

class Level : public LevelBase {
public:
    void RaceUpdate() { ++updates; }
    int updates = 0;
};

TEST(CPObjUpdater, CallsTheBoundMethodOnItsTarget) {
    Level level;
    CPObjUpdater updater(&level, &Level::RaceUpdate, 3);
    updater.Priority = 500;
    updater.Update();
    updater.Update();
    EXPECT_EQ(level.updates, 2);
    EXPECT_EQ(updater.GetKind(), 3);
    EXPECT_EQ(updater.Target, &level);
    EXPECT_EQ(updater.GetTypeName(), "CPObjUpdater");

    CPObjUpdater inherited(&level, &LevelBase::Tick);
    inherited.Update();
    EXPECT_EQ(level.ticks, 1);

    CPObjUpdater unbound(static_cast<Level*>(nullptr), &Level::RaceUpdate);
    unbound.Update();  // no target: nothing to call
    EXPECT_EQ(level.updates, 2);
}

}  // namespace
