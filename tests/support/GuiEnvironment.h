// For gui_tests: the private X server and environment that GuiTestMain set up for this
// test process before it created the QApplication.
#pragma once

#include "support/PrivateEnv.h"

#include <string>

namespace TestSupport {

std::string TestDisplay();
PrivateEnvironment& TestEnvironment();

}  // namespace TestSupport
