// A test fixture for the built program: a private X server, a private environment, an
// XTest input connection, and a way to start Kestrel and wait for its main window.
#pragma once

#include "support/KestrelProcess.h"
#include "support/PrivateEnv.h"
#include "support/Wait.h"
#include "support/XInput.h"
#include "support/XWindows.h"
#include "support/Xvfb.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>

namespace TestSupport {

inline constexpr const char* MAIN_TITLE = "Screen Capture Utility";

class ProgramTest : public testing::Test {
  protected:
    explicit ProgramTest(XvfbOptions options = {}) : server_(options) {}

    // Writes these settings (none: leaves the settings file as it is), starts Kestrel and
    // waits for its main window.
    std::unique_ptr<KestrelProcess> Start(const std::map<std::string, std::string>& settings = {},
                                          LaunchOptions options = {}) {
        if (!settings.empty())
            env_.WriteSettings(settings);
        auto process = std::make_unique<KestrelProcess>(env_, server_.Display(), options);
        const auto window = WaitForWindow(input_.Connection(), MAIN_TITLE);
        EXPECT_TRUE(window.has_value()) << "no main window; stderr:\n" << process->Stderr();
        return process;
    }

    static std::size_t CaptureFiles(const KestrelProcess& process) {
        return ListFiles(process.FindCaptureDir()).size();
    }

    XvfbServer server_;
    PrivateEnvironment env_;
    XInput input_{server_.Display()};
};

}  // namespace TestSupport
