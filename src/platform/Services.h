// The implementations the program runs with, set once at start-up. The core reaches the
// desktop and the main window only through these, so its procedures run as well against
// others (the tests').
#pragma once

#include "core/MainWindowView.h"
#include "platform/Clock.h"
#include "platform/ErrorReport.h"
#include "platform/Events.h"
#include "platform/Files.h"
#include "platform/HotKey.h"
#include "platform/Screen.h"
#include "platform/ScreenGrab.h"
#include "platform/SettingsStore.h"
#include "platform/WebPage.h"

namespace Platform {

struct Services {
    SettingsStore* Settings = nullptr;
    ErrorReport* Errors = nullptr;
    Platform::Screen* Screen = nullptr;
    ScreenGrab* Grab = nullptr;
    FileSystem* Files = nullptr;
    Platform::Clock* Clock = nullptr;
    Platform::HotKey* HotKey = nullptr;
    MessageLoop* Loop = nullptr;
    KestrelMain::MainWindowView* MainWindow = nullptr;
    Platform::WebPage* Web = nullptr;
};

Services& Installed();  // what Install() was given
void Install(const Services& services);

}  // namespace Platform
