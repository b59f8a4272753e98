#include "platform/x11/X11TaskBar.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace Platform::X11 {

namespace {

xcb_atom_t Atom(xcb_connection_t* connection, const char* name) {
    auto* reply = xcb_intern_atom_reply(
        connection,
        xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name),
        nullptr);
    const xcb_atom_t atom = reply != nullptr ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return atom;
}

bool Mapped(xcb_connection_t* connection, xcb_window_t window) {
    auto* attributes = xcb_get_window_attributes_reply(
        connection, xcb_get_window_attributes(connection, window), nullptr);
    const bool mapped = attributes != nullptr && attributes->map_state != XCB_MAP_STATE_UNMAPPED;
    std::free(attributes);
    return mapped;
}

}  // namespace

void X11TaskBar::KeepOffTaskBar(std::uintptr_t window) {
    if (x_.Broken() || window == 0)
        return;
    xcb_connection_t* connection = x_.Connection();
    const auto id = static_cast<xcb_window_t>(window);
    const xcb_atom_t state = Atom(connection, "_NET_WM_STATE");
    const xcb_atom_t wanted[] = {Atom(connection, "_NET_WM_STATE_SKIP_TASKBAR"),
                                 Atom(connection, "_NET_WM_STATE_SKIP_PAGER")};

    if (Mapped(connection, id)) {
        // A managed window's state changes only through the window manager.
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = id;
        event.type = state;
        event.data.data32[0] = 1;  // add
        event.data.data32[1] = wanted[0];
        event.data.data32[2] = wanted[1];
        event.data.data32[3] = 1;  // from an application
        xcb_send_event(connection, 0, x_.Root(),
                       XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&event));
        xcb_flush(connection);
        return;
    }

    // Before mapping, the property is the request; Qt keeps what it finds there when it
    // adds its own states at the map.
    std::vector<xcb_atom_t> atoms;
    auto* reply = xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, id, state, XCB_ATOM_ATOM, 0, 1024), nullptr);
    if (reply != nullptr && reply->format == 32 && reply->type == XCB_ATOM_ATOM) {
        const auto* data = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply));
        atoms.assign(data, data + xcb_get_property_value_length(reply) / 4);
    }
    std::free(reply);
    for (xcb_atom_t atom : wanted) {
        if (atom != XCB_ATOM_NONE && std::find(atoms.begin(), atoms.end(), atom) == atoms.end()) {
            atoms.push_back(atom);
        }
    }
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, state, XCB_ATOM_ATOM, 32,
                        static_cast<std::uint32_t>(atoms.size()), atoms.data());
    xcb_flush(connection);
}

}  // namespace Platform::X11
