// Input into a headless mutter through its RemoteDesktop service, as a remote-desktop client
// sends it: keys by keysym, and the pointer at absolute places of the monitor, through a
// stream of mutter's own ScreenCast linked to the session.
#pragma once

#include <QDBusConnection>
#include <QString>

#include <chrono>
#include <cstdint>
#include <initializer_list>

namespace TestKit {

class MutterRemote {
  public:
    MutterRemote();
    ~MutterRemote();
    MutterRemote(const MutterRemote&) = delete;
    MutterRemote& operator=(const MutterRemote&) = delete;

    bool Ready() const { return !stream_.isEmpty(); }
    // Presses the keys in order, holds them, and lets them go in reverse: {Alt_L, s} is
    // Alt+S.
    void Keys(std::initializer_list<std::uint32_t> keysyms,
              std::chrono::milliseconds held = std::chrono::milliseconds(0));
    void MoveTo(double x, double y);
    // A left click there; whether mutter took it.
    bool Click(double x, double y);
    // Answers the desktop portal's screen-cast chooser once: shares the monitor, or closes
    // the chooser, which cancels. Shift first: a remote session's first key is lost. Tab
    // reaches the monitor and Alt+S shares it. The chooser comes up when the portal has it
    // ready, so a test answers again until the program says it was answered.
    void AnswerChooser(bool share);

  private:
    bool Call(const QString& service, const QString& path, const QString& interface,
              const QString& method, const QList<QVariant>& arguments = {},
              QVariant* answer = nullptr);

    QDBusConnection bus_;
    QString session_;
    QString stream_;
};

// Keysyms the tests press.
inline constexpr std::uint32_t KEY_SHIFT = 0xffe1;
inline constexpr std::uint32_t KEY_TAB = 0xff09;
inline constexpr std::uint32_t KEY_ALT = 0xffe9;
inline constexpr std::uint32_t KEY_ESCAPE = 0xff1b;
inline constexpr std::uint32_t KEY_S = 0x73;
inline constexpr std::uint32_t KEY_A = 0x61;
inline constexpr std::uint32_t KEY_C = 0x63;
inline constexpr std::uint32_t KEY_F = 0x66;
inline constexpr std::uint32_t KEY_CONTROL = 0xffe3;

}  // namespace TestKit
