#include "platform/x11/X11Connection.h"

#include <QGuiApplication>

#include <cstdlib>
#include <iterator>

namespace Platform::X11 {

std::optional<X11Connection> X11Connection::OfQtApplication() {
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (app == nullptr || QGuiApplication::platformName() != QStringLiteral("xcb"))
        return std::nullopt;
    auto* native = app->nativeInterface<QNativeInterface::QX11Application>();
    if (native == nullptr || native->connection() == nullptr)
        return std::nullopt;
    xcb_connection_t* connection = native->connection();
    if (xcb_connection_has_error(connection) != 0)
        return std::nullopt;

    // Qt opens the display's default screen; DISPLAY names it (":0.1").
    int screenNumber = 0;
    const QByteArray display = qgetenv("DISPLAY");
    const qsizetype dot = display.lastIndexOf('.');
    if (dot > display.lastIndexOf(':'))
        screenNumber = display.mid(dot + 1).toInt();
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; it.rem > 0 && i < screenNumber; ++i) xcb_screen_next(&it);
    if (it.rem == 0)
        it = xcb_setup_roots_iterator(xcb_get_setup(connection));
    return X11Connection(connection, it.data);
}

std::optional<std::pair<int, int>> X11Connection::RootSizeNow(xcb_connection_t* connection,
                                                              xcb_window_t root) {
    xcb_get_geometry_reply_t* geometry =
        xcb_get_geometry_reply(connection, xcb_get_geometry(connection, root), nullptr);
    if (geometry == nullptr)
        return std::nullopt;
    const std::pair<int, int> size{geometry->width, geometry->height};
    std::free(geometry);
    return size;
}

bool X11Connection::QtConnectionBroken() {
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (app == nullptr || QGuiApplication::platformName() != QStringLiteral("xcb"))
        return false;
    auto* native = app->nativeInterface<QNativeInterface::QX11Application>();
    return native != nullptr && native->connection() != nullptr &&
           xcb_connection_has_error(native->connection()) != 0;
}

std::string X11Connection::ErrorText(const xcb_generic_error_t* error) {
    static const char* const NAMES[] = {
        "Success",   "BadRequest", "BadValue",    "BadWindow",   "BadPixmap", "BadAtom",
        "BadCursor", "BadFont",    "BadMatch",    "BadDrawable", "BadAccess", "BadAlloc",
        "BadColor",  "BadGC",      "BadIDChoice", "BadName",     "BadLength", "BadImplementation"};
    const int code = error->error_code;
    const std::string name = code < static_cast<int>(std::size(NAMES))
                                 ? std::string(NAMES[code])
                                 : "error " + std::to_string(code);
    return "the X server answered " + name + " (request " + std::to_string(error->major_code) +
           "." + std::to_string(error->minor_code) + ")";
}

}  // namespace Platform::X11
