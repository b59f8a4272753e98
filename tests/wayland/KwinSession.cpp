#include "KwinSession.h"

#include "SwaySession.h"

#include "fake-input-client-protocol.h"
#include "kde-output-device-v2-client-protocol.h"
#include "kde-output-management-v2-client-protocol.h"
#include "plasma-window-management-client-protocol.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QRegularExpression>

#include <wayland-client.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <functional>
#include <string_view>

namespace WaylandTest {

struct FakeKeyboard::Device {
    wl_display* Display = nullptr;
    org_kde_kwin_fake_input* Input = nullptr;
};

FakeKeyboard::FakeKeyboard() : device_(std::make_unique<Device>()) {
    device_->Display = wl_display_connect(nullptr);
    if (device_->Display == nullptr)
        return;
    Device& device = *device_;
    BindGlobals(device.Display, [&](wl_registry* globals, std::uint32_t name, const char* interface,
                                    std::uint32_t version) {
        // Keys came with version 4.
        if (std::strcmp(interface, org_kde_kwin_fake_input_interface.name) == 0 && version >= 4)
            device.Input = static_cast<org_kde_kwin_fake_input*>(
                wl_registry_bind(globals, name, &org_kde_kwin_fake_input_interface, 4));
    });
    if (device_->Input != nullptr)
        org_kde_kwin_fake_input_authenticate(device_->Input, "Kestrel's tests", "Ctrl+F");
}

FakeKeyboard::~FakeKeyboard() {
    if (device_->Display != nullptr)
        wl_display_disconnect(device_->Display);
}

bool FakeKeyboard::Ready() const {
    return device_->Input != nullptr;
}

void FakeKeyboard::Key(int code, bool down) {
    org_kde_kwin_fake_input_keyboard_key(device_->Input, static_cast<std::uint32_t>(code),
                                         down ? 1 : 0);
    wl_display_roundtrip(device_->Display);
}

namespace {

// An object's events read by their names, of whatever version KWin sends: a listener would
// need a function for every event of the version bound. `read` must outlive the object.
using EventReader = std::function<void(std::string_view event, const wl_argument* arguments)>;
void ReadEvents(void* object, const EventReader& read) {
    wl_proxy_add_dispatcher(
        static_cast<wl_proxy*>(object),
        [](const void*, void* target, std::uint32_t, const wl_message* event,
           wl_argument* arguments) {
            (*static_cast<const EventReader*>(
                wl_proxy_get_user_data(static_cast<wl_proxy*>(target))))(event->name, arguments);
            return 0;
        },
        nullptr, const_cast<EventReader*>(&read));
}

// An output device of KWin's display settings and the name KWin gives its output.
struct OutputDevice {
    kde_output_device_v2* Device = nullptr;
    std::string Name;
    EventReader Read;
};

void Follow(std::deque<OutputDevice>& devices, kde_output_device_v2* device) {
    OutputDevice& followed = devices.emplace_back();
    followed.Device = device;
    followed.Read = [&followed](std::string_view event, const wl_argument* arguments) {
        if (event == "name")
            followed.Name = arguments[0].s;
    };
    ReadEvents(device, followed.Read);
}

}  // namespace

struct TaskWindows::List {
    struct Window {
        std::string AppId;
        bool Active = false;
        EventReader Read;
    };
    wl_display* Display = nullptr;
    org_kde_plasma_window_management* Management = nullptr;
    EventReader Read;
    std::deque<Window> Windows;
};

TaskWindows::TaskWindows() : list_(std::make_unique<List>()) {
    list_->Display = wl_display_connect(nullptr);
    if (list_->Display == nullptr)
        return;
    List& list = *list_;
    BindGlobals(list.Display, [&](wl_registry* globals, std::uint32_t name, const char* interface,
                                  std::uint32_t version) {
        // Windows named by a uuid came with version 13.
        if (std::strcmp(interface, org_kde_plasma_window_management_interface.name) == 0 &&
            version >= 13)
            list.Management = static_cast<org_kde_plasma_window_management*>(
                wl_registry_bind(globals, name, &org_kde_plasma_window_management_interface, 13));
    });
    if (list.Management == nullptr)
        return;
    list.Read = [&list](std::string_view event, const wl_argument* arguments) {
        if (event != "window_with_uuid")
            return;
        List::Window& window = list.Windows.emplace_back();
        window.Read = [&window](std::string_view change, const wl_argument* values) {
            if (change == "app_id_changed")
                window.AppId = values[0].s;
            if (change == "state_changed")
                window.Active = (values[0].u & ORG_KDE_PLASMA_WINDOW_MANAGEMENT_STATE_ACTIVE) != 0;
            if (change == "unmapped")
                window.Active = false;
        };
        ReadEvents(
            org_kde_plasma_window_management_get_window_by_uuid(list.Management, arguments[1].s),
            window.Read);
    };
    ReadEvents(list.Management, list.Read);
}

TaskWindows::~TaskWindows() {
    if (list_->Display != nullptr)
        wl_display_disconnect(list_->Display);
}

bool TaskWindows::Active(const std::string& appId) {
    if (list_->Management == nullptr || wl_display_roundtrip(list_->Display) < 0)
        return false;
    return std::any_of(
        list_->Windows.begin(), list_->Windows.end(),
        [&](const List::Window& window) { return window.Active && window.AppId == appId; });
}

bool PutFirst(const std::string& output) {
    kde_output_management_v2* management = nullptr;
    std::deque<OutputDevice> devices;  // where the dispatchers find them
    int applied = -1;
    wl_display* display = wl_display_connect(nullptr);
    if (display == nullptr)
        return false;
    BindGlobals(display, [&](wl_registry* registry, std::uint32_t name, const char* interface,
                             std::uint32_t version) {
        // The order's priorities came with version 3.
        if (std::strcmp(interface, kde_output_management_v2_interface.name) == 0 && version >= 3)
            management = static_cast<kde_output_management_v2*>(
                wl_registry_bind(registry, name, &kde_output_management_v2_interface, 3));
        // A global for each device, as KWin 6.3 and older announce them; names came with
        // version 2.
        if (std::strcmp(interface, kde_output_device_v2_interface.name) == 0 && version >= 2)
            Follow(devices, static_cast<kde_output_device_v2*>(wl_registry_bind(
                                registry, name, &kde_output_device_v2_interface, 2)));
#ifdef KDE_OUTPUT_DEVICE_REGISTRY_V2_OUTPUT_SINCE_VERSION
        // One global that announces them instead, the newest first, as KWin 6.7 has it; it
        // refuses versions below 21. Older protocol files describe no such global.
        if (std::strcmp(interface, kde_output_device_registry_v2_interface.name) == 0 &&
            version >= 21) {
            static constexpr kde_output_device_registry_v2_listener ANNOUNCED{
                [](void*, kde_output_device_registry_v2*) {},
                [](void* data, kde_output_device_registry_v2*, kde_output_device_v2* device) {
                    Follow(*static_cast<std::deque<OutputDevice>*>(data), device);
                }};
            kde_output_device_registry_v2_add_listener(
                static_cast<kde_output_device_registry_v2*>(
                    wl_registry_bind(registry, name, &kde_output_device_registry_v2_interface, 21)),
                &ANNOUNCED, &devices);
        }
#endif
    });
    // The devices' own events, their names among them, follow their announcement.
    wl_display_roundtrip(display);
    const bool named = std::any_of(devices.begin(), devices.end(), [&](const OutputDevice& device) {
        return device.Name == output;
    });
    if (management != nullptr && named) {
        kde_output_configuration_v2* change =
            kde_output_management_v2_create_configuration(management);
        const EventReader answer = [&](std::string_view event, const wl_argument*) {
            if (event == "applied" || event == "failed")
                applied = event == "applied" ? 1 : 0;
        };
        ReadEvents(change, answer);
        // KWin takes a whole order: this output first, the others after it.
        std::uint32_t next = 2;
        for (const OutputDevice& device : devices)
            kde_output_configuration_v2_set_priority(change, device.Device,
                                                     device.Name == output ? 1 : next++);
        kde_output_configuration_v2_apply(change);
        while (applied < 0 && wl_display_dispatch(display) >= 0) {
        }
    }
    wl_display_disconnect(display);
    return applied == 1;
}

std::string WhyKwinLacks(Screenshots need) {
    QDBusConnection bus =
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("kwin-info"));
    const auto call = [&](const QString& path, const QString& interface, const QString& method) {
        return bus
            .call(QDBusMessage::createMethodCall(QStringLiteral("org.kde.KWin"), path, interface,
                                                 method))
            .arguments()
            .value(0)
            .toString();
    };
    // KWin's support information says "Compositing Type: OpenGL", or "QPainter" where
    // there is no GPU's render node; only OpenGL makes screenshots.
    const QString compositing =
        QRegularExpression(QStringLiteral("^Compositing Type: (\\S+)$"),
                           QRegularExpression::MultilineOption)
            .match(call(QStringLiteral("/KWin"), QStringLiteral("org.kde.KWin"),
                        QStringLiteral("supportInformation")))
            .captured(1);
    const std::string noOpenGl =
        compositing.isEmpty() || compositing == QStringLiteral("OpenGL")
            ? std::string()
            : "KWin composites with " + compositing.toStdString() +
                  " here, and makes screenshots only with OpenGL, which needs a GPU's render node";
    if (need == Screenshots::Interface &&
        !call(QStringLiteral("/org/kde/KWin/ScreenShot2"),
              QStringLiteral("org.freedesktop.DBus.Introspectable"), QStringLiteral("Introspect"))
             .contains(QStringLiteral("org.kde.KWin.ScreenShot2")))
        return "KWin offers no screenshot interface (/org/kde/KWin/ScreenShot2)" +
               (noOpenGl.empty() ? "" : ": " + noOpenGl);
    if (need == Screenshots::Pictures)
        return noOpenGl;
    return {};
}

}  // namespace WaylandTest
