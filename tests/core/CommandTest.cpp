#include "core/CPCommandDispatcher.h"
#include "core/CPLog.h"
#include "core/CPScriptTask.h"
#include "core/ObjectAddress.h"
#include "core/Singletons.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace {

using Params = std::vector<std::string>;

TEST(CPCommandDispatcher, BuildCommandSplitsArguments) {
    struct Case {
        const char* params;
        Params expected;
    };
    const Case cases[] = {
        {"", {}},
        {" ", {}},
        {"lap, 3", {"lap", "3"}},
        {"a,,b", {"a", "", "b"}},
        {"a,", {"a"}},
        {",a", {"", "a"}},
        {"a, ,b", {"a", " ", "b"}},
        {" \ta \r\n, b\t", {"a", "b"}},
        {"\"x, y\",z", {"x, y", "z"}},
        {"\"say \"\"hi\"\"\",2", {"say \"hi\"", "2"}},
        {"140737488355328", {"140737488355328"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("params '") + c.params + "'");
        const CPCommand command = CPCommandDispatcher::BuildCommand("show_message", c.params);
        EXPECT_EQ(command.Name, "show_message");
        EXPECT_EQ(command.Params, c.expected);
    }
}

// Takes every queued command in handling order.
std::vector<CPCommand> Drain(CPScriptTask& task) {
    std::vector<CPCommand> taken;
    while (task.NextCommand()) {
        taken.push_back(*task.Current);
    }
    return taken;
}

std::vector<std::string> Names(const std::vector<CPCommand>& commands) {
    std::vector<std::string> names;
    for (const CPCommand& command : commands) {
        names.push_back(command.Name);
    }
    return names;
}

class Delivery : public ::testing::Test {
protected:
    void SetUp() override {
        gamemenu.Start();
        gameInterface.Start();
        dispatcher.RegisterName("gamemenu", &gamemenu);
        dispatcher.RegisterName("game_interface", &gameInterface);
        dispatcher.RegisterName("main", &idle);  // never started
        dispatcher.RegisterCategory("interface", &gameInterface);
        dispatcher.RegisterCategory("interface", &idle);
        dispatcher.RegisterCategory("interface", &gamemenu);
        dispatcher.RegisterCategory("interface", &gamemenu);  // listed once only
    }

    // The tasks outlive the dispatcher, which releases its references when it goes.
    CPScriptTask gamemenu, gameInterface, idle;
    CPCommandDispatcher dispatcher;
};

TEST_F(Delivery, ByNameReachesOnlyRunningRegisteredTasks) {
    dispatcher.SendCommandByName("game_interface", "show_message", "lap, 3");
    dispatcher.SendCommandByName("nobody", "lost", "");
    dispatcher.SendCommandByName("main", "lost", "");
    dispatcher.SendCommandByName("GAMEMENU", "lost", "");  // names compare exactly

    ASSERT_EQ(gameInterface.Commands.size(), 1u);
    EXPECT_EQ(gameInterface.Commands.back().Name, "show_message");
    EXPECT_EQ(gameInterface.Commands.back().Params, (Params{"lap", "3"}));
    EXPECT_TRUE(idle.Commands.empty());
    EXPECT_TRUE(gamemenu.Commands.empty());
}

TEST_F(Delivery, ByCategoryReachesEveryRunningMemberOnce) {
    dispatcher.SendCommandByCategory("interface", "mouse_down", "1,2");
    dispatcher.SendCommandByCategory("level", "finish!", "");

    for (CPScriptTask* task : {&gameInterface, &gamemenu}) {
        const auto taken = Drain(*task);
        ASSERT_EQ(taken.size(), 1u);
        EXPECT_EQ(taken[0].Name, "mouse_down");
        EXPECT_EQ(taken[0].Params, (Params{"1", "2"}));
    }
    EXPECT_TRUE(idle.Commands.empty());
}

TEST_F(Delivery, TheWatcherSeesEveryCommandSentDeliveredOrNot) {
    std::vector<std::string> seen;
    dispatcher.Watcher = [&seen](const std::string& target, const CPCommand& command) {
        seen.push_back(target + " " + command.Name + (command.Params.empty() ? "" : " " + command.Params[0]));
    };
    dispatcher.SendCommandByName("game_interface", "place", "1st");
    dispatcher.SendCommandByName("main", "lost", "");  // not running: still seen
    dispatcher.SendCommandByCategory("level", "enemy_death", "7");
    dispatcher.SendCommandByObject(CPtr<CPScriptTask>(), "damage", "0.5");
    EXPECT_EQ(seen, (std::vector<std::string>{"game_interface place 1st", "main lost", "level enemy_death 7",
                                              " damage 0.5"}));
    EXPECT_EQ(Names(Drain(gameInterface)), (std::vector<std::string>{"place"}));
}

TEST_F(Delivery, ByObjectNeedsARunningTarget) {
    dispatcher.SendCommandByObject(CPtr<CPScriptTask>(&gamemenu), "damage", "0.5");
    dispatcher.SendCommandByObject(CPtr<CPScriptTask>(&idle), "damage", "0.5");
    dispatcher.SendCommandByObject(CPtr<CPScriptTask>(), "damage", "0.5");
    EXPECT_EQ(Names(Drain(gamemenu)), (std::vector<std::string>{"damage"}));
    EXPECT_TRUE(idle.Commands.empty());
}

TEST_F(Delivery, CommandsAreTakenInSendingOrderFromEverySender) {
    dispatcher.SendCommandByName("gamemenu", "first", "");
    dispatcher.SendCommandByCategory("interface", "second", "");
    dispatcher.SendCommandByObject(CPtr<CPScriptTask>(&gamemenu), "third", "");
    EXPECT_EQ(Names(Drain(gamemenu)), (std::vector<std::string>{"first", "second", "third"}));
}

TEST_F(Delivery, StoppedTaskKeepsItsQueueButReceivesNothingNew) {
    dispatcher.SendCommandByName("gamemenu", "kept", "");
    gamemenu.Stop();
    dispatcher.SendCommandByName("gamemenu", "dropped", "");
    dispatcher.SendCommandByCategory("interface", "dropped", "");
    EXPECT_EQ(Names(Drain(gamemenu)), (std::vector<std::string>{"kept"}));
}

TEST_F(Delivery, FindObjectAndRegistration) {
    EXPECT_EQ(dispatcher.FindObject("gamemenu"), &gamemenu);
    EXPECT_EQ(dispatcher.FindObject("jeep"), nullptr);

    // A new registration of a name replaces the old task.
    CPScriptTask other;
    other.Start();
    dispatcher.RegisterName("gamemenu", &other);
    dispatcher.SendCommandByName("gamemenu", "to_other", "");
    EXPECT_TRUE(gamemenu.Commands.empty());
    EXPECT_EQ(other.Commands.size(), 1u);

    dispatcher.Unregister(&gamemenu);
    dispatcher.Unregister(&gameInterface);
    dispatcher.SendCommandByName("game_interface", "gone", "");
    dispatcher.SendCommandByCategory("interface", "gone", "");
    EXPECT_TRUE(gamemenu.Commands.empty());
    EXPECT_TRUE(gameInterface.Commands.empty());
    EXPECT_EQ(dispatcher.FindObject("gamemenu"), &other);
    dispatcher.Unregister(&other);
    EXPECT_EQ(dispatcher.FindObject("gamemenu"), nullptr);
}

TEST(CPScriptTask, NextCommandWalksTheQueue) {
    CPScriptTask task;
    EXPECT_FALSE(task.NextCommand());
    EXPECT_EQ(task.Current, nullptr);

    task.PushCommand({"a", {}});
    task.PushCommand({"b", {}});
    ASSERT_TRUE(task.NextCommand());  // the oldest becomes current; nothing dropped
    EXPECT_EQ(task.Current->Name, "a");
    EXPECT_EQ(task.Commands.size(), 2u);

    task.PushCommand({"c", {}});  // a new command leaves the current one in place
    EXPECT_EQ(task.Current->Name, "a");
    ASSERT_TRUE(task.NextCommand());
    EXPECT_EQ(task.Current->Name, "b");
    ASSERT_TRUE(task.NextCommand());
    EXPECT_EQ(task.Current->Name, "c");
    EXPECT_FALSE(task.NextCommand());
    EXPECT_EQ(task.Current, nullptr);
    EXPECT_TRUE(task.Commands.empty());
}

TEST(CPScriptTask, AFullQueueDropsCommandsAndSaysSoOnce) {
    std::vector<std::string> reports;
    CPLog::GetInstance().SetSink([&reports](const CPLogReport& r) { reports.push_back(r.Text); });
    CPScriptTask task;
    for (size_t i = 0; i < CPScriptTask::MaxQueuedCommands; ++i) {
        ASSERT_TRUE(task.PushCommand({"c", {"1"}}));
    }
    EXPECT_FALSE(task.PushCommand({"over", {}}));
    EXPECT_FALSE(task.PushCommand({"over", {}}));
    EXPECT_EQ(task.Commands.size(), CPScriptTask::MaxQueuedCommands);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_NE(reports[0].find("\"over\""), std::string::npos) << reports[0];
    // Taking commands makes room (the first call only makes the oldest current).
    ASSERT_TRUE(task.NextCommand());
    EXPECT_FALSE(task.PushCommand({"over", {}}));
    ASSERT_TRUE(task.NextCommand());
    EXPECT_TRUE(task.PushCommand({"after", {}}));

    // The bytes are bounded too: one command bigger than the bound never queues, and
    // commands that together pass it stop at it.
    CPScriptTask big;
    EXPECT_FALSE(big.PushCommand({"huge", {std::string(CPScriptTask::MaxQueuedBytes, 'x')}}));
    const std::string quarter(CPScriptTask::MaxQueuedBytes / 4, 'y');
    int queued = 0;
    while (queued < 10 && big.PushCommand({"part", {quarter}})) {
        ++queued;
    }
    EXPECT_EQ(queued, 3);
    CPLog::GetInstance().SetSink({});
}

TEST(CPCommandDispatcher, GetterReadsTheInstance) {
    EXPECT_EQ(GetCommandDispatcher(), nullptr);
    CPCommandDispatcher dispatcher;
    CPCommandDispatcher::Instance = &dispatcher;
    EXPECT_EQ(GetCommandDispatcher(), &dispatcher);
    CPCommandDispatcher::Instance = nullptr;
}

TEST(ObjectAddress, RoundTripsRealAndExtremeAddresses) {
    auto heap = std::make_unique<int>(5);
    int local = 0;
    for (const void* address : {static_cast<const void*>(heap.get()), static_cast<const void*>(&local)}) {
        EXPECT_EQ(TextToAddress(AddressToText(address)), address);
    }
    // A stack address on 64-bit Linux lies above 4 GiB, so a 32-bit path would lose it.
    EXPECT_GT(reinterpret_cast<uintptr_t>(&local), uintptr_t{0xFFFFFFFF});

    const uintptr_t extremes[] = {0, 1, 0x7FFFFFFFFFFFFFF0u, 0xFFFF800000000000u, 0x8000000000000000u};
    for (const uintptr_t bits : extremes) {
        const void* address = reinterpret_cast<const void*>(bits);
        EXPECT_EQ(TextToAddress(AddressToText(address)), address) << bits;
    }
    EXPECT_EQ(AddressToText(nullptr), "0");
    EXPECT_EQ(AddressToText(reinterpret_cast<const void*>(uintptr_t{140737488355328})), "140737488355328");
}

TEST(ObjectAddress, ParsesLikeAtoiAndRejectsOverflow) {
    struct Case {
        const char* text;
        intptr_t expected;
    };
    const Case cases[] = {
        {"", 0},
        {"abc", 0},
        {"-", 0},
        {"  \t123abc", 123},
        {"+42", 42},
        {"-42", -42},
        {"+-5", 0},
        {"9223372036854775807", INT64_MAX},
        {"-9223372036854775808", INT64_MIN},
        {"9223372036854775808", 0},
        {"99999999999999999999999", 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(reinterpret_cast<intptr_t>(TextToAddress(c.text)), c.expected) << "'" << c.text << "'";
    }
}

}  // namespace
