#include "SwaySession.h"

#include "support/Wait.h"
#include "testkit/AreaReference.h"
#include "testkit/BusyPicture.h"
#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <wayland-client.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>

namespace WaylandTest {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

std::string Variable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

std::string Output(const std::string& command) {
    std::string text;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
            text.append(buffer, n);
        pclose(pipe);
    }
    return text;
}

std::string Quoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// The picture grim reads back from the output, as a PPM.
QImage OnScreen(const std::string& output) {
    const std::string ppm = Output("grim -t ppm -o " + output + " - 2>/dev/null");
    QImage image;
    image.loadFromData(reinterpret_cast<const uchar*>(ppm.data()), static_cast<int>(ppm.size()),
                       "PPM");
    return image;
}

std::optional<WindowPlace> FindIn(const QJsonObject& node, const QString& caption) {
    if (node.value("app_id").toString() == "org.ardmoor.Kestrel" &&
        node.value("name").toString() == caption) {
        // The window's own area: its frame's place, and where the window lies in it.
        const QJsonObject frame = node.value("rect").toObject();
        const QJsonObject inside = node.value("window_rect").toObject();
        return WindowPlace{frame.value("x").toInt() + inside.value("x").toInt(),
                           frame.value("y").toInt() + inside.value("y").toInt(),
                           inside.value("width").toInt(), inside.value("height").toInt()};
    }
    for (const char* children : {"nodes", "floating_nodes"}) {
        for (const auto child : node.value(children).toArray()) {
            if (auto found = FindIn(child.toObject(), caption))
                return found;
        }
    }
    return std::nullopt;
}

}  // namespace

std::string Sway(const std::string& command) {
    return Output("swaymsg " + Quoted(command) + " 2>&1");
}

int Shell(const std::string& command) {
    return std::system(command.c_str());
}

bool Paint(const std::string& output, const QImage& picture) {
    const fs::path file =
        fs::path(Variable("KESTREL_SESSION_DIR")) / ("picture-" + output + ".png");
    if (!picture.save(QString::fromStdString(file.string())))
        return false;
    // Where no sway is there to set it, swaybg shows it until the compositor ends.
    if (Variable("SWAYSOCK").empty())
        Shell("swaybg -o " + output + " -i " + Quoted(file.string()) +
              " -m stretch >/dev/null 2>&1 &");
    else
        Sway("output " + output + " bg " + file.string() + " stretch");
    return TestSupport::WaitUntil(
        [&] {
            const QImage shown = OnScreen(output);
            return shown.size() == picture.size() &&
                   shown.convertToFormat(QImage::Format_RGB32) ==
                       picture.convertToFormat(QImage::Format_RGB32);
        },
        15s);
}

void BindGlobals(wl_display* display, const GlobalBinder& bind) {
    static constexpr wl_registry_listener LISTENER{
        [](void* data, wl_registry* registry, std::uint32_t name, const char* interface,
           std::uint32_t version) {
            (*static_cast<const GlobalBinder*>(data))(registry, name, interface, version);
        },
        [](void*, wl_registry*, std::uint32_t) {}};
    wl_registry_add_listener(wl_display_get_registry(display), &LISTENER,
                             const_cast<GlobalBinder*>(&bind));
    wl_display_roundtrip(display);
}

std::string CaptureProtocol() {
    wl_display* display = wl_display_connect(nullptr);
    if (display == nullptr)
        return {};
    bool imageCopy = false;
    BindGlobals(display, [&](wl_registry*, std::uint32_t, const char* interface, std::uint32_t) {
        imageCopy |= std::strcmp(interface, "ext_image_copy_capture_manager_v1") == 0;
    });
    wl_display_disconnect(display);
    const char* forced = std::getenv("KESTREL_TEST_SCREEN_SOURCE");
    if (forced != nullptr && std::string_view(forced) == "screencopy")
        return imageCopy ? "wlr-screencopy" : "";
    return imageCopy ? "ext-image-copy-capture" : "wlr-screencopy";
}

struct VirtualPointer::Device {
    wl_display* Display = nullptr;
    wl_seat* Seat = nullptr;
    zwlr_virtual_pointer_manager_v1* Manager = nullptr;
    zwlr_virtual_pointer_v1* Pointer = nullptr;
};

VirtualPointer::VirtualPointer() : device_(std::make_unique<Device>()) {
    device_->Display = wl_display_connect(nullptr);
    if (device_->Display == nullptr)
        return;
    Device& device = *device_;
    BindGlobals(device.Display, [&](wl_registry* globals, std::uint32_t name, const char* interface,
                                    std::uint32_t) {
        if (std::strcmp(interface, wl_seat_interface.name) == 0 && device.Seat == nullptr)
            device.Seat =
                static_cast<wl_seat*>(wl_registry_bind(globals, name, &wl_seat_interface, 1));
        if (std::strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0)
            device.Manager = static_cast<zwlr_virtual_pointer_manager_v1*>(
                wl_registry_bind(globals, name, &zwlr_virtual_pointer_manager_v1_interface, 1));
    });
    if (device_->Manager != nullptr) {
        device_->Pointer =
            zwlr_virtual_pointer_manager_v1_create_virtual_pointer(device_->Manager, device_->Seat);
        wl_display_roundtrip(device_->Display);
        // The seat says it has a pointer once the compositor has made the device its own.
        if (!Variable("SWAYSOCK").empty())
            TestSupport::WaitUntil(
                [] {
                    return Sway("-t get_seats").find("\"pointer\"") != std::string::npos ||
                           Output("swaymsg -t get_inputs").find("pointer") != std::string::npos;
                },
                5s);
    }
}

VirtualPointer::~VirtualPointer() {
    if (device_->Display != nullptr)
        wl_display_disconnect(device_->Display);
}

bool VirtualPointer::Ready() const {
    return device_->Pointer != nullptr;
}

void VirtualPointer::MoveTo(int x, int y) {
    // An eighth of a pixel in: sway places the cursor through a float fraction of the
    // layout, a hair short of the whole number, which some libwayland releases then
    // truncate into the pixel before; and a cursor session rounds its place in device
    // pixels, a quarter of one on an output at scale 2.
    Sway("seat - cursor set " + std::to_string(x) + ".125 " + std::to_string(y) + ".125");
    // A cursor session tells where the cursor was at the output's last frame: grim waits for
    // the next frame of every output.
    Shell("grim -t ppm - >/dev/null 2>&1");
}

void VirtualPointer::MoveInLayout(int x, int y, int layoutWidth, int layoutHeight) {
    // In eighths of a pixel, for the reasons above.
    zwlr_virtual_pointer_v1_motion_absolute(
        device_->Pointer, 0, static_cast<std::uint32_t>(x * 8 + 1),
        static_cast<std::uint32_t>(y * 8 + 1), static_cast<std::uint32_t>(layoutWidth * 8),
        static_cast<std::uint32_t>(layoutHeight * 8));
    zwlr_virtual_pointer_v1_frame(device_->Pointer);
    wl_display_roundtrip(device_->Display);
    Shell("grim -t ppm - >/dev/null 2>&1");
}

void VirtualPointer::Click() {
    Sway("seat - cursor press button1");
    Sway("seat - cursor release button1");
}

SessionKestrel::SessionKestrel(const std::map<std::string, std::string>& settings,
                               const std::vector<std::string>& environment) {
    std::map<std::string, std::string> stored{{"BasePath", environment_.Pictures().string() + "/"},
                                              {"OutputWidth", "800"},
                                              {"OutputHeight", "600"}};
    for (const auto& [key, value] : settings) stored[key] = value;
    environment_.WriteSettings(stored);
    const std::string runtime = Variable("XDG_RUNTIME_DIR");
    TestSupport::LaunchOptions options{
        {"WAYLAND_DISPLAY=" + runtime + "/" + Variable("WAYLAND_DISPLAY"),
         "SWAYSOCK=" + Variable("SWAYSOCK"), "XDG_SESSION_TYPE=wayland", "QT_QPA_PLATFORM=wayland",
         "DBUS_SESSION_BUS_ADDRESS=" + Variable("DBUS_SESSION_BUS_ADDRESS")}};
    if (const char* source = std::getenv("KESTREL_TEST_SCREEN_SOURCE"); source && *source)
        options.ExtraEnv.push_back(std::string("KESTREL_SCREEN_SOURCE=") + source);
    options.ExtraEnv.insert(options.ExtraEnv.end(), environment.begin(), environment.end());
    process_ = std::make_unique<TestSupport::KestrelProcess>(environment_, "", options);
}

std::optional<WindowPlace> SessionKestrel::Window() const {
    std::optional<WindowPlace> place;
    std::optional<WindowPlace> before;
    // sway places a floating window again once the program has drawn it at its size.
    const bool settled = TestSupport::WaitUntil(
        [&] {
            before = place;
            const QJsonDocument tree =
                QJsonDocument::fromJson(QByteArray::fromStdString(Output("swaymsg -t get_tree")));
            place = FindIn(tree.object(), QStringLiteral("Screen Capture Utility"));
            return place && before && place->Width == 418 && place->Height == 142 &&
                   place->X == before->X && place->Y == before->Y;
        },
        15s);
    return settled ? place : std::nullopt;
}

std::vector<std::string> SessionKestrel::Captures() const {
    std::vector<std::string> names;
    const fs::path dir = process_->FindCaptureDir();
    if (dir.empty())
        return names;
    for (const fs::path& file : TestSupport::ListFiles(dir, ".bmp"))
        names.push_back(file.filename().string());
    return names;
}

bool SessionKestrel::WaitForCaptures(std::size_t count, std::chrono::milliseconds deadline) const {
    return TestSupport::WaitUntil([&] { return Captures().size() >= count; }, deadline);
}

fs::path SessionKestrel::Capture(const std::string& name) const {
    return process_->FindCaptureDir() / name;
}

std::size_t SessionKestrel::Said(const std::string& text) const {
    const std::string said = process_->Stderr();
    std::size_t count = 0;
    for (auto at = said.find(text); at != std::string::npos; at = said.find(text, at + 1)) ++count;
    return count;
}

bool SessionKestrel::Says(const std::string& text, std::size_t times,
                          std::chrono::milliseconds deadline) const {
    return TestSupport::WaitUntil([&] { return Said(text) >= times; }, deadline);
}

std::string SessionKestrel::Numbered(std::size_t number) const {
    const std::string prefix = std::to_string(number) + "-";
    for (const std::string& name : Captures()) {
        if (name.starts_with(prefix))
            return name;
    }
    return {};
}

int CaptureAction() {
    return Shell(
        "gdbus call --session --dest org.ardmoor.Kestrel --object-path /org/ardmoor/Kestrel "
        "--method org.freedesktop.Application.ActivateAction capture '[]' '{}' >/dev/null 2>&1");
}

QImage BusyPicture(int width, int height) {
    QImage picture(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(picture.scanLine(y));
        for (int x = 0; x < width; ++x)
            row[x] = 0xff000000u | TestKit::BusyColourAt(x, y, width, height);
    }
    return picture;
}

double Psnr(const fs::path& capture, const QImage& picture) {
    TestKit::ExactAreaAverage reference(picture.width(), picture.height(), 800, 600);
    for (int y = 0; y < picture.height(); ++y)
        reference.AddRow(y, reinterpret_cast<const std::uint32_t*>(picture.constScanLine(y)));
    const TestKit::Quality quality = TestKit::Compare(TestKit::ReadBmp(capture), reference);
    return quality.Error.empty() ? quality.Psnr : 0;
}

ShownPicture::ShownPicture(const QImage& picture) {
    const fs::path file = fs::path(Variable("KESTREL_SESSION_DIR")) / "shown.png";
    if (!picture.save(QString::fromStdString(file.string())))
        return;
    pid_ = fork();
    if (pid_ == 0) {
        setenv("QT_QPA_PLATFORM", "wayland", 1);
        execl(SHOW_PICTURE, SHOW_PICTURE, file.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
}

ShownPicture::~ShownPicture() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
}

bool CapturesShow(SessionKestrel& kestrel, const QImage& picture,
                  std::chrono::milliseconds deadline) {
    return TestSupport::WaitUntil(
        [&] {
            const std::size_t next = kestrel.Captures().size() + 1;
            return CaptureAction() == 0 && kestrel.WaitForCaptures(next) &&
                   Psnr(kestrel.Capture(kestrel.Numbered(next)), picture) >= 50.0;
        },
        deadline);
}

}  // namespace WaylandTest
