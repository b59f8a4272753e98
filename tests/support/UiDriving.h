// Driving Kestrel's windows in-process as a user would, and watching what they leave
// behind: message boxes closed with their OK button, text boxes retyped from the keyboard,
// the settings file's exact state, close requests and stacking seen from the X server, and
// a window manager for the things only one decides.
#pragma once

#include "core/WindowLayouts.h"

#include <xcb/xcb.h>

#include <QLineEdit>
#include <QMessageBox>
#include <QObject>
#include <QRect>
#include <QString>
#include <QTimer>

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace TestSupport {

struct SeenMessage {
    QString Title;
    QString Text;
    int ButtonCount = 0;
    bool HasOkButton = false;
    QMessageBox::Icon Icon = QMessageBox::NoIcon;
};

// While it lives, every application-modal message box that comes up is noted and closed
// with a click on its OK button. Create it before the click that raises a box: the box's
// own event loop then runs the watch.
class MessageBoxCloser : public QObject {
  public:
    MessageBoxCloser();
    const std::vector<SeenMessage>& Seen() const { return seen_; }

  private:
    void Look();
    QTimer poll_;
    std::vector<SeenMessage> seen_;
};

// Where a control of a window table sits at 96 dpi: 15 twips to the pixel, left and top
// rounded, the far edges rounded so that neighbours meeting in twips meet in pixels.
QRect InPixels(const KestrelMain::TwipsRect& twips);

// Selects everything in the text box from the keyboard and types text over it.
void Retype(QLineEdit* box, const QString& text);

// The settings file exactly as it is: its bytes, its inode and its modification time, so
// that any write shows (an atomic replace changes the inode, a rewrite the time).
struct FileState {
    bool Exists = false;
    std::string Bytes;
    std::uint64_t Inode = 0;
    std::int64_t ModifiedNs = 0;
    bool operator==(const FileState&) const = default;
};
FileState ReadFileState(const std::filesystem::path& file);

// Asks a top-level window to close, as a window manager's close box does.
void RequestClose(xcb_connection_t* connection, xcb_window_t window);

// Top-level windows from bottom to top.
std::vector<xcb_window_t> StackingOrder(xcb_connection_t* connection);

std::vector<std::uint32_t> AtomProperty(xcb_connection_t* connection, xcb_window_t window,
                                        const std::string& property);
// Whether the window has the property at all, even with no items.
bool HasProperty(xcb_connection_t* connection, xcb_window_t window, const std::string& property);
xcb_atom_t InternAtom(xcb_connection_t* connection, const std::string& name);

// Width and height from a BMP file's header; zeros when it is not one.
struct BmpSize {
    int Width = 0;
    int Height = 0;
};
BmpSize ReadBmpSize(const std::filesystem::path& file);

// IceWM, a window manager with a task bar that draws exactly the title-bar boxes a window
// asks for, on the given display: it manages the windows from the moment the constructor
// returns and is stopped again by the destructor.
class WindowManager {
  public:
    explicit WindowManager(const std::string& display);
    ~WindowManager();
    WindowManager(const WindowManager&) = delete;
    WindowManager& operator=(const WindowManager&) = delete;
    bool Running() const { return running_; }

  private:
    pid_t pid_ = -1;
    bool running_ = false;
};

}  // namespace TestSupport
