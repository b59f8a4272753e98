#include "testkit/MutterRemote.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QVariantMap>

#include <thread>

namespace TestKit {

namespace {

const QString REMOTE = QStringLiteral("org.gnome.Mutter.RemoteDesktop");
const QString REMOTE_SESSION = QStringLiteral("org.gnome.Mutter.RemoteDesktop.Session");
const QString CAST = QStringLiteral("org.gnome.Mutter.ScreenCast");

}  // namespace

bool MutterRemote::Call(const QString& service, const QString& path, const QString& interface,
                        const QString& method, const QList<QVariant>& arguments, QVariant* answer) {
    QDBusMessage call = QDBusMessage::createMethodCall(service, path, interface, method);
    call.setArguments(arguments);
    const QDBusMessage reply = bus_.call(call, QDBus::Block);
    if (reply.type() == QDBusMessage::ErrorMessage)
        return false;
    if (answer != nullptr)
        *answer = reply.arguments().value(0);
    return true;
}

// A private connection: mutter ends a remote session when the peer that made it goes.
MutterRemote::MutterRemote()
    : bus_(QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("remote"))) {
    QVariant session;
    if (!Call(REMOTE, QStringLiteral("/org/gnome/Mutter/RemoteDesktop"), REMOTE,
              QStringLiteral("CreateSession"), {}, &session))
        return;
    session_ = session.value<QDBusObjectPath>().path();
    QVariant id;
    Call(REMOTE, session_, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"),
         {REMOTE_SESSION, QStringLiteral("SessionId")}, &id);
    QVariant cast;
    if (!Call(CAST, QStringLiteral("/org/gnome/Mutter/ScreenCast"), CAST,
              QStringLiteral("CreateSession"),
              {QVariantMap{{QStringLiteral("remote-desktop-session-id"),
                            id.value<QDBusVariant>().variant().toString()}}},
              &cast))
        return;
    QVariant stream;
    if (!Call(CAST, cast.value<QDBusObjectPath>().path(), CAST + QStringLiteral(".Session"),
              QStringLiteral("RecordMonitor"), {QStringLiteral("Meta-0"), QVariantMap()}, &stream))
        return;
    if (Call(REMOTE, session_, REMOTE_SESSION, QStringLiteral("Start")))
        stream_ = stream.value<QDBusObjectPath>().path();
}

MutterRemote::~MutterRemote() {
    if (!session_.isEmpty())
        Call(REMOTE, session_, REMOTE_SESSION, QStringLiteral("Stop"));
    QDBusConnection::disconnectFromBus(QStringLiteral("remote"));
}

void MutterRemote::Keys(std::initializer_list<std::uint32_t> keysyms,
                        std::chrono::milliseconds held) {
    for (const std::uint32_t key : keysyms)
        Call(REMOTE, session_, REMOTE_SESSION, QStringLiteral("NotifyKeyboardKeysym"),
             {static_cast<uint>(key), true});
    // How long a user holds them: the input itself, not a wait for anything.
    std::this_thread::sleep_for(held);
    for (auto key = std::rbegin(keysyms); key != std::rend(keysyms); ++key)
        Call(REMOTE, session_, REMOTE_SESSION, QStringLiteral("NotifyKeyboardKeysym"),
             {static_cast<uint>(*key), false});
}

void MutterRemote::MoveTo(double x, double y) {
    Call(REMOTE, session_, REMOTE_SESSION, QStringLiteral("NotifyPointerMotionAbsolute"),
         {stream_, x, y});
}

bool MutterRemote::Click(double x, double y) {
    MoveTo(x, y);
    constexpr int BTN_LEFT = 0x110;  // the kernel's code for the left button
    bool taken = true;
    for (const bool pressed : {true, false})
        taken = Call(REMOTE, session_, REMOTE_SESSION, QStringLiteral("NotifyPointerButton"),
                     {BTN_LEFT, pressed}) &&
                taken;
    return taken;
}

void MutterRemote::AnswerChooser(bool share) {
    Keys({KEY_SHIFT});
    if (share) {
        Keys({KEY_TAB});
        Keys({KEY_ALT, KEY_S});
    } else {
        Keys({KEY_ESCAPE});
    }
}

}  // namespace TestKit
