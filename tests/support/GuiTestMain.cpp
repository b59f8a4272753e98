// main() of gui_tests. Every test runs in a process of its own (one per test through
// CTest), so each gets a fresh X server, fresh settings and fresh windows.
#include "app/LinuxServices.h"
#include "support/GuiEnvironment.h"
#include "support/Xvfb.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace TestSupport {

namespace {
std::unique_ptr<XvfbServer> server;
std::unique_ptr<PrivateEnvironment> environment;
}  // namespace

std::string TestDisplay() {
    return server->Display();
}
PrivateEnvironment& TestEnvironment() {
    return *environment;
}

}  // namespace TestSupport

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (testing::GTEST_FLAG(list_tests))
        return RUN_ALL_TESTS();

    using namespace TestSupport;
    server = std::make_unique<XvfbServer>();
    environment = std::make_unique<PrivateEnvironment>();
    environment->ApplyToThisProcess(server->Display());
    auto* app = new QApplication(argc, argv);
    (void)app;
    // The tests drive the program's own start-up, on the services its main would install.
    App::InstallLinuxServices();
    const int status = RUN_ALL_TESTS();
    // Windows and the X connection stay as they are: tearing Qt down under live singletons
    // proves nothing, and the server ends with this process (parent-death signal).
    environment.reset();
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(status);
}
