// A launcher run with scripted input and a recording shell: nothing is drawn or started.
#pragma once

#include "core/CPConfig.h"
#include "core/ConfigVars.h"
#include "launcher/CPLauncher.h"
#include "launcher/CPWebHost.h"
#include "launcher/PublisherSite.h"
#include "launcher/StartDialog.h"
#include "platform/win32/CallTrace.h"
#include "platform/win32/ComRuntime.h"
#include "platform/ui/ScriptedDialog.h"
#include "platform/ui/Shell.h"
#include "platform/ui/WebBrowser.h"

#include <gtest/gtest.h>

class LauncherFixture : public ::testing::Test {
protected:
    void SetUp() override {
        WebBrowserStandIn::Reset();
        WebBrowserStandIn::SetInstalled(true);
        WindowSystem::SetScreenSize(1024, 768);
        WindowSystem::ClearQuit();
        CallTrace::Clear();
        CallTrace::Enable(true);
        ShuttingDown = false;
    }

    void TearDown() override {
        CallTrace::Enable(false);
        CallTrace::Clear();
        // The launcher never destroys its registry; tests do, so runs do not pile up.
        delete CPConfig::Instance;
        Cfg::ResetDefaults();
        ShuttingDown = false;
        EXPECT_EQ(CPWebHost::Instance, nullptr);
        EXPECT_EQ(WindowSystem::WindowCount(), 0u);
        EXPECT_EQ(OleAuto::LiveStrings(), 0u);
        EXPECT_EQ(OleRuntime::InitCount(), 0);
        EXPECT_EQ(ComRuntime::InitCount(), 0);
    }

    ScriptedDialog dialog;
    RecordingShell shell;
    ScopedDialogBackend useDialog{dialog};
    ScopedShellBackend useShell{shell};
};
