#include "XResources.h"

#include <xcb/res.h>

#include <cstdlib>
#include <memory>
#include <sstream>

namespace Soak {

namespace {

struct FreeReply {
    void operator()(void* reply) const { std::free(reply); }
};
template <class T>
using Reply = std::unique_ptr<T, FreeReply>;

std::string AtomName(xcb_connection_t* c, xcb_atom_t atom) {
    Reply<xcb_get_atom_name_reply_t> reply(
        xcb_get_atom_name_reply(c, xcb_get_atom_name(c, atom), nullptr));
    if (!reply)
        return "atom " + std::to_string(atom);
    return std::string(xcb_get_atom_name_name(reply.get()),
                       static_cast<std::size_t>(xcb_get_atom_name_name_length(reply.get())));
}

}  // namespace

std::string ClientResources::Text() const {
    std::ostringstream text;
    const char* separator = "";
    for (const auto& [type, count] : Counts) {
        text << separator << type << " " << count;
        separator = ", ";
    }
    text << "; pixmaps " << PixmapBytes << " bytes";
    return text.str();
}

std::optional<ClientResources> ResourcesOfWindowOwner(xcb_connection_t* connection,
                                                      xcb_window_t window) {
    const xcb_query_extension_reply_t* extension = xcb_get_extension_data(connection, &xcb_res_id);
    if (extension == nullptr || extension->present == 0)
        return std::nullopt;

    Reply<xcb_res_query_clients_reply_t> clients(
        xcb_res_query_clients_reply(connection, xcb_res_query_clients(connection), nullptr));
    if (!clients)
        return std::nullopt;
    std::optional<std::uint32_t> base;
    for (auto it = xcb_res_query_clients_clients_iterator(clients.get()); it.rem > 0;
         xcb_res_client_next(&it)) {
        if ((window & ~it.data->resource_mask) == it.data->resource_base) {
            base = it.data->resource_base;
        }
    }
    if (!base)
        return std::nullopt;

    Reply<xcb_res_query_client_resources_reply_t> types(xcb_res_query_client_resources_reply(
        connection, xcb_res_query_client_resources(connection, *base), nullptr));
    Reply<xcb_res_query_client_pixmap_bytes_reply_t> bytes(xcb_res_query_client_pixmap_bytes_reply(
        connection, xcb_res_query_client_pixmap_bytes(connection, *base), nullptr));
    if (!types || !bytes)
        return std::nullopt;

    ClientResources resources;
    for (auto it = xcb_res_query_client_resources_types_iterator(types.get()); it.rem > 0;
         xcb_res_type_next(&it)) {
        resources.Counts[AtomName(connection, it.data->resource_type)] = it.data->count;
    }
    resources.PixmapBytes =
        (static_cast<std::uint64_t>(bytes->bytes_overflow) << 32) | bytes->bytes;
    return resources;
}

}  // namespace Soak
