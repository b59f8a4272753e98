// What a test needs of the headless KWin session that desktop-session.sh kwin started, beside what
// SwaySession.h offers every Wayland session: keys pressed through KWin's own input
// (org_kde_kwin_fake_input, which the session opens to its clients), as a keyboard would;
// the active window; the outputs' order changed as the display settings change it; what KWin's
// screenshot interface can do in this session.
#pragma once

#include <memory>
#include <string>

namespace WaylandTest {

class FakeKeyboard {
  public:
    FakeKeyboard();
    ~FakeKeyboard();
    bool Ready() const;
    // Presses or releases a key by its Linux input code (KEY_F), once KWin has it.
    void Key(int code, bool down);

  private:
    struct Device;
    std::unique_ptr<Device> device_;
};

// The windows KWin's task manager lists (org_kde_plasma_window_management, which the
// session opens to its clients too).
class TaskWindows {
  public:
    TaskWindows();
    ~TaskWindows();
    // Whether a window of this app id is the active one, as KWin says now.
    bool Active(const std::string& appId);

  private:
    struct List;
    std::unique_ptr<List> list_;
};

// Makes the output KWin names so ("Virtual-1") the first of its order, as choosing the
// primary display in the settings does; true once KWin has applied it.
bool PutFirst(const std::string& output);

// What a test asks of KWin's screenshot interface: to be there, which is enough to learn
// whether Kestrel may use it, or also to make pictures.
enum class Screenshots { Interface, Pictures };
// Why this session's KWin cannot do that, as KWin itself tells; empty when it can.
std::string WhyKwinLacks(Screenshots need);

}  // namespace WaylandTest
