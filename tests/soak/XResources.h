// What the X server holds for one client, as its X-Resource extension reports it: how many
// windows, pixmaps, graphics contexts, pictures... and how many bytes of pixmaps.
#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace Soak {

struct ClientResources {
    std::map<std::string, std::uint32_t> Counts;  // by resource type name: "PIXMAP", "GC", ...
    std::uint64_t PixmapBytes = 0;

    std::string Text() const;  // "GC 3, PIXMAP 2, ...; pixmaps 1234 bytes"
};

// The resources of the client that created window, or nullopt when the server has no
// X-Resource extension or no such client.
std::optional<ClientResources> ResourcesOfWindowOwner(xcb_connection_t* connection,
                                                      xcb_window_t window);

}  // namespace Soak
