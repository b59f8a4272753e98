// Helpers for the Win32 backend's tests, run under Wine: waiting on a condition while the
// thread's messages are dispatched, and a private folder for files.
#pragma once

#include <windows.h>

#include <chrono>
#include <filesystem>
#include <functional>

namespace Win32Test {

// Checks the condition until it holds or the deadline passes, dispatching this thread's
// messages in between (windows paint, the cursor moves) and waking on new ones.
bool WaitUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds deadline = std::chrono::seconds(10));

// Dispatches every message already queued for this thread.
void DispatchPending();

// A new empty folder under the temporary directory, removed with everything in it when
// the object goes.
class TemporaryFolder {
  public:
    TemporaryFolder();
    ~TemporaryFolder();
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;
    const std::filesystem::path& Path() const { return path_; }

  private:
    std::filesystem::path path_;
};

}  // namespace Win32Test
