#pragma once

#include <chrono>
#include <functional>

namespace TestSupport {

// Checks the condition until it holds or the deadline passes; between checks it handles
// Qt events when a QCoreApplication exists, else it yields for a few milliseconds.
bool WaitUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds deadline = std::chrono::seconds(10));

}  // namespace TestSupport
