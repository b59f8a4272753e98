#include "support/XWindows.h"

#include "support/Wait.h"

#include <cstdlib>
#include <cstring>

namespace TestSupport {

namespace {

xcb_atom_t Atom(xcb_connection_t* c, const std::string& name) {
    auto* reply = xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<uint16_t>(name.size()), name.c_str()), nullptr);
    const xcb_atom_t atom = reply != nullptr ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return atom;
}

std::string TextProperty(xcb_connection_t* c, xcb_window_t w, xcb_atom_t property) {
    auto* reply = xcb_get_property_reply(
        c, xcb_get_property(c, 0, w, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 1024), nullptr);
    std::string text;
    if (reply != nullptr && reply->format == 8) {
        text.assign(static_cast<const char*>(xcb_get_property_value(reply)),
                    static_cast<std::size_t>(xcb_get_property_value_length(reply)));
    }
    std::free(reply);
    return text;
}

std::optional<WindowInfo> Search(xcb_connection_t* c, xcb_window_t root, xcb_window_t parent,
                                 const std::string& title, xcb_atom_t netWmName, int depth) {
    auto* tree = xcb_query_tree_reply(c, xcb_query_tree(c, parent), nullptr);
    if (tree == nullptr)
        return std::nullopt;
    const xcb_window_t* children = xcb_query_tree_children(tree);
    const int count = xcb_query_tree_children_length(tree);
    std::optional<WindowInfo> found;
    for (int i = 0; i < count && !found; ++i) {
        const xcb_window_t w = children[i];
        std::string name = TextProperty(c, w, netWmName);
        if (name.empty())
            name = TextProperty(c, w, XCB_ATOM_WM_NAME);
        auto* attributes =
            xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, w), nullptr);
        const bool viewable =
            attributes != nullptr && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
        std::free(attributes);
        if (name == title && viewable) {
            auto* geometry = xcb_get_geometry_reply(c, xcb_get_geometry(c, w), nullptr);
            auto* origin = xcb_translate_coordinates_reply(
                c, xcb_translate_coordinates(c, w, root, 0, 0), nullptr);
            if (geometry != nullptr && origin != nullptr) {
                found = WindowInfo{
                    w, origin->dst_x, origin->dst_y, geometry->width, geometry->height, true};
            }
            std::free(geometry);
            std::free(origin);
        } else if (depth < 2) {
            // Under a window manager the client sits inside a frame window.
            found = Search(c, root, w, title, netWmName, depth + 1);
        }
    }
    std::free(tree);
    return found;
}

}  // namespace

std::optional<WindowInfo> FindWindowByTitle(xcb_connection_t* connection,
                                            const std::string& title) {
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    return Search(connection, root, root, title, Atom(connection, "_NET_WM_NAME"), 0);
}

std::optional<WindowInfo> WaitForWindow(xcb_connection_t* connection, const std::string& title,
                                        std::chrono::milliseconds deadline) {
    std::optional<WindowInfo> found;
    WaitUntil([&] { return (found = FindWindowByTitle(connection, title)).has_value(); }, deadline);
    return found;
}

std::vector<std::uint32_t> ReadCardinalProperty(xcb_connection_t* connection, xcb_window_t window,
                                                const std::string& name) {
    std::vector<std::uint32_t> items;
    auto* reply =
        xcb_get_property_reply(connection,
                               xcb_get_property(connection, 0, window, Atom(connection, name),
                                                XCB_GET_PROPERTY_TYPE_ANY, 0, 256),
                               nullptr);
    if (reply != nullptr && reply->format == 32) {
        const auto* data = static_cast<const std::uint32_t*>(xcb_get_property_value(reply));
        items.assign(data, data + xcb_get_property_value_length(reply) / 4);
    }
    std::free(reply);
    return items;
}

}  // namespace TestSupport
