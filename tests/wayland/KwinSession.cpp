#include "KwinSession.h"

#include "SwaySession.h"

#include "fake-input-client-protocol.h"
#include "kde-output-device-v2-client-protocol.h"
#include "kde-output-management-v2-client-protocol.h"

#include <wayland-client.h>

#include <cstring>
#include <vector>

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

bool PutFirst(std::size_t announced) {
    struct Globals {
        kde_output_management_v2* Management = nullptr;
        std::vector<kde_output_device_v2*> Devices;  // no listener: their events are dropped
        int Applied = -1;
    } globals;
    wl_display* display = wl_display_connect(nullptr);
    if (display == nullptr)
        return false;
    BindGlobals(display, [&](wl_registry* registry, std::uint32_t name, const char* interface,
                             std::uint32_t version) {
        // The order's priorities came with version 3.
        if (std::strcmp(interface, kde_output_management_v2_interface.name) == 0 && version >= 3)
            globals.Management = static_cast<kde_output_management_v2*>(
                wl_registry_bind(registry, name, &kde_output_management_v2_interface, 3));
        if (std::strcmp(interface, kde_output_device_v2_interface.name) == 0)
            globals.Devices.push_back(static_cast<kde_output_device_v2*>(
                wl_registry_bind(registry, name, &kde_output_device_v2_interface, 1)));
    });
    if (globals.Management != nullptr && announced < globals.Devices.size()) {
        kde_output_configuration_v2* change =
            kde_output_management_v2_create_configuration(globals.Management);
        static constexpr kde_output_configuration_v2_listener ANSWER{
            [](void* data, kde_output_configuration_v2*) { *static_cast<int*>(data) = 1; },
            [](void* data, kde_output_configuration_v2*) { *static_cast<int*>(data) = 0; }};
        kde_output_configuration_v2_add_listener(change, &ANSWER, &globals.Applied);
        // KWin takes a whole order: this output first, the others after it as they were.
        std::uint32_t next = 2;
        for (std::size_t i = 0; i < globals.Devices.size(); ++i)
            kde_output_configuration_v2_set_priority(change, globals.Devices[i],
                                                     i == announced ? 1 : next++);
        kde_output_configuration_v2_apply(change);
        while (globals.Applied < 0 && wl_display_dispatch(display) >= 0) {
        }
    }
    wl_display_disconnect(display);
    return globals.Applied == 1;
}

}  // namespace WaylandTest
