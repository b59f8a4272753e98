#include "platform/x11/X11ScreenGrab.h"

#include "core/AreaScaler.h"
#include "core/FailureTexts.h"
#include "platform/x11/X11ShmSegment.h"

#include <xcb/shm.h>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <optional>
#include <vector>

namespace Platform::X11 {

using KestrelMain::AreaScaler;
using KestrelMain::Failure;
using KestrelMain::Palette;
using KestrelMain::PaletteEntry;
using KestrelMain::Picture;
using KestrelMain::PixelKind;
using KestrelMain::PixelLayout;
using KestrelMain::Result;
using KestrelMain::RowSource;
using KestrelMain::Status;

namespace {

constexpr std::uint8_t VISUAL_CLASS_TRUE_COLOR = XCB_VISUAL_CLASS_TRUE_COLOR;
constexpr std::uint8_t VISUAL_CLASS_DIRECT_COLOR = XCB_VISUAL_CLASS_DIRECT_COLOR;
constexpr int PALETTE_SIZE = 256;

Failure ReadFailure(std::string reason) {
    return Failure{KestrelMain::CANNOT_READ_SCREEN, {}, std::move(reason)};
}

Failure LostConnection() {
    return X11Connection::BrokenFailure(KestrelMain::CANNOT_READ_SCREEN);
}

// The screen's pixel layout: depth, masks and class from the root window's visual, bits per
// pixel and row padding from the setup's pixmap formats, byte order from the setup; never
// from an image's own masks, which a server may leave empty.
Result<PixelLayout> ScreenPixelLayout(xcb_connection_t* connection, xcb_screen_t* screen) {
    const xcb_setup_t* setup = xcb_get_setup(connection);
    const xcb_visualtype_t* visual = nullptr;
    for (auto depth = xcb_screen_allowed_depths_iterator(screen); depth.rem > 0 && !visual;
         xcb_depth_next(&depth)) {
        for (auto v = xcb_depth_visuals_iterator(depth.data); v.rem > 0; xcb_visualtype_next(&v)) {
            if (v.data->visual_id == screen->root_visual) {
                visual = v.data;
                break;
            }
        }
    }
    const xcb_format_t* format = nullptr;
    for (auto f = xcb_setup_pixmap_formats_iterator(setup); f.rem > 0; xcb_format_next(&f)) {
        if (f.data->depth == screen->root_depth) {
            format = f.data;
            break;
        }
    }
    if (visual == nullptr || format == nullptr) {
        return ReadFailure("the X server describes no pixel format for depth " +
                           std::to_string(screen->root_depth));
    }
    PixelLayout layout;
    const bool trueColor =
        visual->_class == VISUAL_CLASS_TRUE_COLOR || visual->_class == VISUAL_CLASS_DIRECT_COLOR;
    layout.Kind = trueColor ? PixelKind::Direct : PixelKind::Indexed;
    layout.Depth = screen->root_depth;
    layout.BitsPerPixel = format->bits_per_pixel;
    layout.ScanlinePad = format->scanline_pad;
    layout.MsbFirst = setup->image_byte_order == XCB_IMAGE_ORDER_MSB_FIRST;
    layout.RedMask = trueColor ? visual->red_mask : 0;
    layout.GreenMask = trueColor ? visual->green_mask : 0;
    layout.BlueMask = trueColor ? visual->blue_mask : 0;
    return layout;
}

}  // namespace

struct X11ScreenGrab::State {
    xcb_connection_t* Connection = nullptr;
    xcb_screen_t* Screen = nullptr;
    X11GrabOptions Options;
    std::optional<Result<PixelLayout>> Layout;
    AreaScaler Scaler;
    bool LastUsedSharedMemory = false;

    std::unique_ptr<X11ShmSegment> Shm;
};

namespace {

// Hands the scaler the rows of the area strip by strip, asking the server for the next
// strip before the current one is folded in, so reading and scaling overlap.
class StripReader final : public RowSource {
  public:
    StripReader(xcb_connection_t* connection, xcb_window_t root, const Seam::ScreenRect& area,
                std::size_t rowBytes, int stripRows, xcb_shm_seg_t segment, std::uint8_t* memory,
                std::size_t halfBytes)
        : connection_(connection),
          root_(root),
          area_(area),
          rowBytes_(rowBytes),
          stripRows_(stripRows),
          segment_(segment),
          memory_(memory),
          halfBytes_(halfBytes) {}

    ~StripReader() {
        if (pending_.Active)
            xcb_discard_reply(connection_, pending_.Sequence);
        std::free(plainReply_);
    }

    const std::uint8_t* Row(int y) override {
        for (;;) {
            if (y >= start_ && y < start_ + rows_) {
                return data_ + static_cast<std::size_t>(y - start_) * rowBytes_;
            }
            if (y < start_ || y >= area_.Height) {
                failure_ = ReadFailure("row " + std::to_string(y) + " was asked for out of order");
                return nullptr;
            }
            if (!pending_.Active)
                Request(y / stripRows_ * stripRows_);
            if (!Receive())
                return nullptr;
            const int next = start_ + rows_;
            if (next < area_.Height)
                Request(next);
        }
    }

    const std::optional<Failure>& Failed() const { return failure_; }
    // The server refused the shared-memory read itself, so plain reads may still work.
    bool SharedMemoryRefused() const { return sharedMemoryRefused_; }

  private:
    struct Pending {
        bool Active = false;
        int Start = 0;
        int Rows = 0;
        unsigned int Sequence = 0;
        std::uint8_t* Target = nullptr;  // shared memory only
    };

    void Request(int start) {
        const int rows = std::min(stripRows_, area_.Height - start);
        const auto x = static_cast<std::int16_t>(area_.X);
        const auto y = static_cast<std::int16_t>(area_.Y + start);
        const auto width = static_cast<std::uint16_t>(area_.Width);
        const auto height = static_cast<std::uint16_t>(rows);
        pending_ = Pending{true, start, rows, 0, nullptr};
        if (memory_ != nullptr) {
            const std::size_t offset =
                static_cast<std::size_t>(start / stripRows_ % 2) * halfBytes_;
            pending_.Target = memory_ + offset;
            pending_.Sequence = xcb_shm_get_image(connection_, root_, x, y, width, height, ~0u,
                                                  XCB_IMAGE_FORMAT_Z_PIXMAP, segment_,
                                                  static_cast<std::uint32_t>(offset))
                                    .sequence;
        } else {
            pending_.Sequence = xcb_get_image(connection_, XCB_IMAGE_FORMAT_Z_PIXMAP, root_, x, y,
                                              width, height, ~0u)
                                    .sequence;
        }
        xcb_flush(connection_);
    }

    bool Receive() {
        const Pending strip = pending_;
        pending_.Active = false;
        const std::size_t needed = static_cast<std::size_t>(strip.Rows) * rowBytes_;
        xcb_generic_error_t* error = nullptr;
        if (memory_ != nullptr) {
            xcb_shm_get_image_reply_t* reply =
                xcb_shm_get_image_reply(connection_, {strip.Sequence}, &error);
            const bool complete = reply != nullptr && reply->size >= needed;
            std::free(reply);
            if (!complete)
                return Fail(error, true);
            data_ = strip.Target;
        } else {
            xcb_get_image_reply_t* reply =
                xcb_get_image_reply(connection_, {strip.Sequence}, &error);
            if (reply == nullptr ||
                static_cast<std::size_t>(xcb_get_image_data_length(reply)) < needed) {
                std::free(reply);
                return Fail(error, false);
            }
            std::free(plainReply_);
            plainReply_ = reply;
            data_ = xcb_get_image_data(reply);
        }
        start_ = strip.Start;
        rows_ = strip.Rows;
        return true;
    }

    bool Fail(xcb_generic_error_t* error, bool sharedMemory) {
        if (xcb_connection_has_error(connection_) != 0) {
            failure_ = LostConnection();
        } else if (error != nullptr) {
            failure_ = ReadFailure(X11Connection::ErrorText(error));
            sharedMemoryRefused_ = sharedMemory;
        } else {
            failure_ = ReadFailure("the X server sent a short image");
        }
        std::free(error);
        return false;
    }

    xcb_connection_t* connection_;
    xcb_window_t root_;
    Seam::ScreenRect area_;
    std::size_t rowBytes_;
    int stripRows_;
    xcb_shm_seg_t segment_;
    std::uint8_t* memory_;
    std::size_t halfBytes_;

    Pending pending_;
    int start_ = 0;
    int rows_ = 0;
    const std::uint8_t* data_ = nullptr;
    xcb_get_image_reply_t* plainReply_ = nullptr;
    std::optional<Failure> failure_;
    bool sharedMemoryRefused_ = false;
};

Result<Palette> ReadColormap(xcb_connection_t* connection, xcb_screen_t* screen, int depth) {
    const int entries = std::min(PALETTE_SIZE, 1 << std::min(depth, 8));
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(entries));
    for (int i = 0; i < entries; ++i)
        pixels[static_cast<std::size_t>(i)] = static_cast<std::uint32_t>(i);
    xcb_generic_error_t* error = nullptr;
    xcb_query_colors_reply_t* reply =
        xcb_query_colors_reply(connection,
                               xcb_query_colors(connection, screen->default_colormap,
                                                static_cast<std::uint32_t>(entries), pixels.data()),
                               &error);
    if (reply == nullptr) {
        Failure failure =
            error != nullptr ? ReadFailure(X11Connection::ErrorText(error)) : LostConnection();
        failure.What = "Cannot read the screen's colormap";
        std::free(error);
        return failure;
    }
    Palette palette;
    palette.Entries.resize(PALETTE_SIZE);
    const xcb_rgb_t* colors = xcb_query_colors_colors(reply);
    const int count = std::min(entries, xcb_query_colors_colors_length(reply));
    for (int i = 0; i < count; ++i) {
        palette.Entries[static_cast<std::size_t>(i)] =
            PaletteEntry{static_cast<std::uint8_t>(colors[i].red >> 8),
                         static_cast<std::uint8_t>(colors[i].green >> 8),
                         static_cast<std::uint8_t>(colors[i].blue >> 8)};
    }
    std::free(reply);
    return palette;
}

}  // namespace

X11ScreenGrab::X11ScreenGrab(const X11Connection& connection, X11GrabOptions options)
    : state_(std::make_unique<State>()) {
    state_->Connection = connection.Connection();
    state_->Screen = connection.Screen();
    state_->Options = options;
    if (state_->Options.StripBytes == 0)
        state_->Options.StripBytes = 1;
}

X11ScreenGrab::~X11ScreenGrab() = default;

bool X11ScreenGrab::UsedSharedMemory() const {
    return state_->LastUsedSharedMemory;
}

Status X11ScreenGrab::Start() {
    return std::nullopt;
}

std::optional<std::string> X11ScreenGrab::NotReadyBecause() {
    return std::nullopt;
}

Result<Picture> X11ScreenGrab::GrabScaled(const Seam::ScreenRect& area, int outputWidth,
                                          int outputHeight) {
    State& s = *state_;
    if (xcb_connection_has_error(s.Connection) != 0)
        return LostConnection();
    if (!s.Layout)
        s.Layout = ScreenPixelLayout(s.Connection, s.Screen);
    if (!*s.Layout)
        return s.Layout->Error();
    const PixelLayout& layout = s.Layout->Value();

    // The root as it is now: a mode switch since the area was read may have shrunk it.
    const auto root = X11Connection::RootSizeNow(s.Connection, s.Screen->root);
    if (!root)
        return xcb_connection_has_error(s.Connection) != 0
                   ? LostConnection()
                   : ReadFailure("the X server did not tell the screen's size");
    if (area.Width < 1 || area.Height < 1 || area.X < 0 || area.Y < 0 ||
        area.X + area.Width > root->first || area.Y + area.Height > root->second) {
        return ReadFailure("the area " + std::to_string(area.Width) + " x " +
                           std::to_string(area.Height) + " at " + std::to_string(area.X) + ", " +
                           std::to_string(area.Y) + " is not on the screen");
    }
    std::optional<Palette> palette;
    if (layout.Kind == PixelKind::Indexed) {
        auto colors = ReadColormap(s.Connection, s.Screen, layout.Depth);
        if (!colors)
            return colors.Error();
        palette = std::move(colors.Value());
    }

    const std::size_t rowBytes = layout.RowBytes(area.Width);
    for (;;) {
        if (!s.Shm)
            s.Shm = std::make_unique<X11ShmSegment>(s.Connection);
        const bool shared = s.Options.UseSharedMemory && s.Shm->Usable();
        std::size_t halfBytes = std::max(s.Options.StripBytes, rowBytes);
        if (shared) {
            const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
            halfBytes = (halfBytes + page - 1) / page * page;
            if (s.Shm->Memory() == nullptr || s.Shm->Size() < 2 * halfBytes) {
                if (s.Shm->Create(2 * halfBytes)) {
                    s.Shm->GiveUp();
                    continue;
                }
            }
        }
        const int stripRows = static_cast<int>(std::clamp<std::size_t>(
            halfBytes / rowBytes, 1, static_cast<std::size_t>(area.Height)));
        StripReader reader(s.Connection, s.Screen->root, area, rowBytes, stripRows,
                           shared ? s.Shm->Id() : 0, shared ? s.Shm->Memory() : nullptr, halfBytes);
        auto picture = KestrelMain::ScalePicture(
            s.Scaler, layout, area.Width, area.Height, outputWidth, outputHeight, reader, palette,
            [&] { return reader.Failed() ? *reader.Failed() : LostConnection(); });
        if (picture) {
            s.LastUsedSharedMemory = shared;
        } else if (shared && reader.SharedMemoryRefused()) {
            // Once refused (another IPC namespace, say), plain reads from now on.
            s.Shm->GiveUp();
            continue;
        }
        return picture;
    }
}

}  // namespace Platform::X11
