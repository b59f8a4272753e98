#include "platform/x11/X11Session.h"
#include "platform/x11/X11Connection.h"

#include <QGuiApplication>

namespace Platform {

X11Handles X11() {
    X11Handles handles;
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (app == nullptr || QGuiApplication::platformName() != QStringLiteral("xcb"))
        return handles;
    auto* native = app->nativeInterface<QNativeInterface::QX11Application>();
    if (native == nullptr || native->connection() == nullptr)
        return handles;
    xcb_connection_t* connection = native->connection();
    if (xcb_connection_has_error(connection) != 0)
        return handles;

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
    handles.Connection = connection;
    handles.Screen = it.data;
    return handles;
}

Failure NoX11Failure(const QString& what) {
    return Failure{what, QString(),
                   QStringLiteral("this needs an X11 session (the display runs \u201C%1\u201D)")
                       .arg(QGuiApplication::platformName())};
}

}  // namespace Platform
