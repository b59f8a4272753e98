#include "support/UiDriving.h"

#include "support/Wait.h"

#include <QAbstractButton>
#include <QApplication>
#include <QTest>

#include <cmath>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace TestSupport {

QRect InPixels(const KestrelMain::TwipsRect& twips) {
    const int left = static_cast<int>(std::lround(twips.Left / 15.0));
    const int top = static_cast<int>(std::lround(twips.Top / 15.0));
    return QRect(left, top, static_cast<int>(std::lround((twips.Left + twips.Width) / 15.0)) - left,
                 static_cast<int>(std::lround((twips.Top + twips.Height) / 15.0)) - top);
}

namespace fs = std::filesystem;
using namespace std::chrono_literals;

MessageBoxCloser::MessageBoxCloser() {
    poll_.setInterval(10);
    connect(&poll_, &QTimer::timeout, this, &MessageBoxCloser::Look);
    poll_.start();
}

void MessageBoxCloser::Look() {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr || !box->isVisible())
        return;
    SeenMessage seen;
    seen.Title = box->windowTitle();
    seen.Text = box->text();
    seen.ButtonCount = static_cast<int>(box->buttons().size());
    QAbstractButton* ok = box->button(QMessageBox::Ok);
    seen.HasOkButton = ok != nullptr;
    seen.Icon = box->icon();
    seen_.push_back(seen);
    if (ok != nullptr) {
        QTest::mouseClick(ok, Qt::LeftButton);
    } else {
        box->close();
    }
}

void Retype(QLineEdit* box, const QString& text) {
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    if (text.isEmpty()) {
        QTest::keyClick(box, Qt::Key_Backspace);
    } else {
        QTest::keyClicks(box, text);
    }
}

FileState ReadFileState(const fs::path& file) {
    FileState state;
    struct stat info = {};
    if (::stat(file.c_str(), &info) != 0)
        return state;
    state.Exists = true;
    state.Inode = info.st_ino;
    state.ModifiedNs =
        static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec;
    std::ifstream in(file, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    state.Bytes = bytes.str();
    return state;
}

xcb_atom_t InternAtom(xcb_connection_t* c, const std::string& name) {
    auto* reply = xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<uint16_t>(name.size()), name.c_str()), nullptr);
    const xcb_atom_t atom = reply != nullptr ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return atom;
}

void RequestClose(xcb_connection_t* c, xcb_window_t window) {
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = InternAtom(c, "WM_PROTOCOLS");
    event.data.data32[0] = InternAtom(c, "WM_DELETE_WINDOW");
    event.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(c, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&event));
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
}

std::vector<xcb_window_t> StackingOrder(xcb_connection_t* c) {
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    std::vector<xcb_window_t> order;
    auto* tree = xcb_query_tree_reply(c, xcb_query_tree(c, root), nullptr);
    if (tree == nullptr)
        return order;
    const xcb_window_t* children = xcb_query_tree_children(tree);
    order.assign(children, children + xcb_query_tree_children_length(tree));
    std::free(tree);
    return order;
}

std::vector<std::uint32_t> AtomProperty(xcb_connection_t* c, xcb_window_t window,
                                        const std::string& property) {
    std::vector<std::uint32_t> values;
    auto* reply = xcb_get_property_reply(
        c,
        xcb_get_property(c, 0, window, InternAtom(c, property), XCB_GET_PROPERTY_TYPE_ANY, 0, 1024),
        nullptr);
    if (reply != nullptr && reply->format == 32) {
        const auto* data = static_cast<const std::uint32_t*>(xcb_get_property_value(reply));
        values.assign(data, data + xcb_get_property_value_length(reply) / 4);
    }
    std::free(reply);
    return values;
}

bool HasProperty(xcb_connection_t* c, xcb_window_t window, const std::string& property) {
    auto* reply = xcb_get_property_reply(
        c, xcb_get_property(c, 0, window, InternAtom(c, property), XCB_GET_PROPERTY_TYPE_ANY, 0, 0),
        nullptr);
    const bool present = reply != nullptr && reply->type != XCB_ATOM_NONE;
    std::free(reply);
    return present;
}

BmpSize ReadBmpSize(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    unsigned char header[26] = {};
    if (!in.read(reinterpret_cast<char*>(header), sizeof header))
        return {};
    if (header[0] != 'B' || header[1] != 'M')
        return {};
    auto le32 = [&](int at) {
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(header[at]) |
                                         static_cast<std::uint32_t>(header[at + 1]) << 8 |
                                         static_cast<std::uint32_t>(header[at + 2]) << 16 |
                                         static_cast<std::uint32_t>(header[at + 3]) << 24);
    };
    const std::int32_t height = le32(22);
    return {le32(18), height < 0 ? -height : height};
}

WindowManager::WindowManager(const std::string& display) {
    // Spawned rather than forked: this process has Qt's threads running. IceWM ends with
    // the X server when a test dies before it is stopped.
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        if (std::strncmp(*e, "DISPLAY=", 8) != 0)
            env.emplace_back(*e);
    }
    env.push_back("DISPLAY=" + display);
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    char program[] = "icewm";
    char* argv[] = {program, nullptr};
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&quiet, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    if (posix_spawnp(&pid_, program, &quiet, nullptr, argv, envp.data()) != 0)
        pid_ = -1;
    posix_spawn_file_actions_destroy(&quiet);
    if (pid_ < 0)
        return;
    // The window manager claims the screen first and lists its clients once it has taken
    // over the windows already there; a window mapped before that can be lost.
    xcb_connection_t* c = xcb_connect(display.c_str(), nullptr);
    if (xcb_connection_has_error(c) == 0) {
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
        running_ = WaitUntil(
            [&] {
                return HasProperty(c, root, "_NET_SUPPORTING_WM_CHECK") &&
                       HasProperty(c, root, "_NET_CLIENT_LIST");
            },
            10s);
    }
    xcb_disconnect(c);
}

WindowManager::~WindowManager() {
    if (pid_ <= 0)
        return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
}

}  // namespace TestSupport
