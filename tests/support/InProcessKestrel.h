// For gui_tests only (it needs the test process's own X server and environment): Kestrel
// started as Main starts it, up to its idle loop.
#pragma once

#include "core/KestrelMain.h"
#include "platform/qt/QtSettingsStore.h"
#include "support/GuiEnvironment.h"
#include "ui/qt/MainForm.h"

#include <QTest>

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace TestSupport {

// Stores these settings (when any), runs the start-up and waits until the main window is
// on screen.
inline void StartKestrelInProcess(const std::map<std::string, std::string>& settings = {}) {
    if (!settings.empty())
        TestEnvironment().WriteSettings(settings);
    KestrelMain::StartUp(Platform::QtToolkit::DefaultBasePath());
    if (!QTest::qWaitForWindowExposed(&Ui::MainForm::Instance())) {
        ADD_FAILURE() << "the main window did not come up";
    }
}

}  // namespace TestSupport
