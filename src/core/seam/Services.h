// The implementations the program runs with, set once at start-up by each program's
// composition root (src/app/). The core reaches the desktop and the main window only
// through these, so its procedures run as well against others (the tests').
#pragma once

#include "core/seam/Clock.h"
#include "core/seam/ErrorReport.h"
#include "core/seam/FileSystem.h"
#include "core/seam/HotKey.h"
#include "core/seam/MainWindowView.h"
#include "core/seam/MessageLoop.h"
#include "core/seam/Screen.h"
#include "core/seam/ScreenGrab.h"
#include "core/seam/SettingsStore.h"
#include "core/seam/TaskBar.h"
#include "core/seam/WebPage.h"

namespace Seam {

struct Services {
    SettingsStore* Settings = nullptr;
    ErrorReport* Errors = nullptr;
    Seam::Screen* Screen = nullptr;
    ScreenGrab* Grab = nullptr;
    FileSystem* Files = nullptr;
    Seam::Clock* Clock = nullptr;
    Seam::HotKey* HotKey = nullptr;
    MessageLoop* Loop = nullptr;
    MainWindowView* MainWindow = nullptr;
    Seam::WebPage* Web = nullptr;
    Seam::TaskBar* TaskBar = nullptr;  // none where the desktop keeps its own counsel
};

Services& Installed();  // what Install() was given
void Install(const Services& services);

}  // namespace Seam
