// The headless sway session a Wayland test runs in (desktop-session.sh started it): sway's
// commands, the outputs painted with a known picture, a pointer the seat can move, Kestrel
// started in the session, its windows found by their app id, and the session-bus call of its
// capture action.
#pragma once

#include "support/KestrelProcess.h"
#include "support/PrivateEnv.h"

#include <QImage>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

struct wl_display;
struct wl_registry;

namespace WaylandTest {

// Lists the compositor's globals to `bind`, which binds those it wants, and waits until the
// compositor has answered.
using GlobalBinder = std::function<void(wl_registry* registry, std::uint32_t name,
                                        const char* interface, std::uint32_t version)>;
void BindGlobals(wl_display* display, const GlobalBinder& bind);

// The protocol Kestrel copies the screen with in this session: "ext-image-copy-capture" where
// the compositor offers it, else, or where the suite's KESTREL_TEST_SCREEN_SOURCE makes
// Kestrel choose it, "wlr-screencopy". Empty where the suite asks for wlr-screencopy on a
// compositor offering nothing else, which the suites run without it already cover.
std::string CaptureProtocol();

// Runs one swaymsg command; its reply.
std::string Sway(const std::string& command);

// Runs a shell command line in the session; its exit status.
int Shell(const std::string& command);

// Shows the picture on the output, pixel for pixel, and waits until it is on screen.
bool Paint(const std::string& output, const QImage& picture);

// A pointer device for the headless seat, which has none; sway's "seat - cursor" commands
// then move and click it.
class VirtualPointer {
  public:
    VirtualPointer();
    ~VirtualPointer();
    bool Ready() const;
    // Puts the pointer into the pixel (x, y) of the desktop, in logical pixels.
    void MoveTo(int x, int y);
    // The same where no sway places it: (x, y) from the top-left corner of a layout of this
    // size.
    void MoveInLayout(int x, int y, int layoutWidth, int layoutHeight);
    void Click();

  private:
    struct Device;
    std::unique_ptr<Device> device_;
};

struct WindowPlace {
    int X = 0;
    int Y = 0;
    int Width = 0;
    int Height = 0;
};

using Settings = std::map<std::string, std::string>;

// Kestrel in the session, with its own private home, these settings and these variables
// ("NAME=value") added to its environment.
class SessionKestrel {
  public:
    explicit SessionKestrel(const Settings& settings = {},
                            const std::vector<std::string>& environment = {});

    TestSupport::KestrelProcess& Process() { return *process_; }
    const TestSupport::PrivateEnvironment& Environment() const { return environment_; }

    // The main window once sway shows it at its size (418 x 142) and has settled its place.
    std::optional<WindowPlace> Window() const;
    // The capture files so far, by name.
    std::vector<std::string> Captures() const;
    bool WaitForCaptures(std::size_t count,
                         std::chrono::milliseconds deadline = std::chrono::seconds(15)) const;
    std::filesystem::path Capture(const std::string& name) const;
    // How often standard error has said this so far.
    std::size_t Said(const std::string& text) const;
    // Waits until standard error has said this `times` times.
    bool Says(const std::string& text, std::size_t times = 1,
              std::chrono::milliseconds deadline = std::chrono::seconds(15)) const;
    // The name of the capture with this number, empty while there is none.
    std::string Numbered(std::size_t number) const;

  private:
    TestSupport::PrivateEnvironment environment_;
    std::unique_ptr<TestSupport::KestrelProcess> process_;
};

// Asks the running Kestrel for one capture, as a desktop's key binding or a script would.
int CaptureAction();

// The benchmarks' busy picture at this size.
QImage BusyPicture(int width, int height);

// The capture's PSNR against the exact area average of the picture at 800 x 600, as the X11
// and Windows grabs are measured.
double Psnr(const std::filesystem::path& capture, const QImage& picture);

// On desktops where the test cannot set the background: the picture in a full-screen window
// of the tests' own, over everything, Kestrel's windows too, until this goes (so that it
// takes no later test's focus).
class ShownPicture {
  public:
    explicit ShownPicture(const QImage& picture);
    ~ShownPicture();
    ShownPicture(const ShownPicture&) = delete;
    ShownPicture& operator=(const ShownPicture&) = delete;
    bool Started() const { return pid_ > 0; }

  private:
    int pid_ = -1;
};

// Asks for captures until one shows the picture at 50 dB or more: the window showing it
// reaches the screen at the compositor's pace.
bool CapturesShow(SessionKestrel& kestrel, const QImage& picture,
                  std::chrono::milliseconds deadline = std::chrono::seconds(20));

}  // namespace WaylandTest
