// kestrel_capture_once [--phases] OUTPUT.bmp [WIDTH HEIGHT]: one capture of the primary
// monitor as a whole process (connect, grab, scale, save, exit), built from the program's
// own capture code, so it can be timed from outside like the tools a user would run
// instead. --phases prints when each step ended (CLOCK_MONOTONIC, ms), so the benchmark
// can tell start-up from capture.
#include "core/Bmp.h"
#include "core/Picture.h"
#include "platform/posix/PosixFileSystem.h"
#include "platform/x11/X11Screen.h"
#include "platform/x11/X11ScreenGrab.h"

#include <xcb/xcb.h>

#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr int DEFAULT_WIDTH = 800;
constexpr int DEFAULT_HEIGHT = 600;

double Now() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

int Fail(const std::string& text) {
    std::fprintf(stderr, "kestrel_capture_once: %s\n", text.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    double stamps[5] = {Now(), 0, 0, 0, 0};  // main, connected, grabbed, saved, end
    const bool phases = argc > 1 && std::strcmp(argv[1], "--phases") == 0;
    if (phases) {
        --argc;
        ++argv;
    }
    if (argc != 2 && argc != 4) {
        std::fprintf(stderr, "usage: kestrel_capture_once [--phases] OUTPUT.bmp [WIDTH HEIGHT]\n");
        return 2;
    }
    const int width = argc == 4 ? std::atoi(argv[2]) : DEFAULT_WIDTH;
    const int height = argc == 4 ? std::atoi(argv[3]) : DEFAULT_HEIGHT;

    int screenNumber = 0;
    xcb_connection_t* connection = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(connection) != 0)
        return Fail("cannot connect to the X server");
    auto roots = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screenNumber && roots.rem > 0; ++i) xcb_screen_next(&roots);
    xcb_screen_t* screen = roots.data;
    stamps[1] = Now();

    int status = 0;
    {
        const Platform::X11::X11Connection x11(connection, screen);
        Platform::X11::X11Screen monitors(x11);
        Platform::X11::X11ScreenGrab grab(x11);
        const auto monitor = monitors.ReadPrimaryScreen();
        auto picture = monitor ? grab.GrabScaled(*monitor, width, height)
                               : KestrelMain::Result<KestrelMain::Picture>(monitor.Error());
        if (!picture) {
            status = Fail(picture.Error().Text());
        } else {
            stamps[2] = Now();
            Platform::Posix::PosixFileSystem files;
            if (const auto failed = KestrelMain::SavePictureAsBmp(*picture, argv[1], files))
                status = Fail(failed->Text());
            stamps[3] = Now();
        }
    }
    xcb_disconnect(connection);
    stamps[4] = Now();
    if (phases && status == 0) {
        std::printf("phases=%.3f %.3f %.3f %.3f %.3f\n", stamps[0], stamps[1], stamps[2], stamps[3],
                    stamps[4]);
    }
    return status;
}
