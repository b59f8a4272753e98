#include "BusyScreen.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <memory>
#include <vector>

namespace Bench {

namespace {

constexpr std::size_t STRIP_BYTES = std::size_t{1} << 20;

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template <class T>
using Reply = std::unique_ptr<T, FreeDeleter>;

std::uint32_t ByteSwap(std::uint32_t v) {
    return v >> 24 | (v >> 8 & 0xff00u) | (v << 8 & 0xff0000u) | v << 24;
}

std::uint32_t Rgb(std::uint32_t red, std::uint32_t green, std::uint32_t blue) {
    return (red & 0xffu) << 16 | (green & 0xffu) << 8 | (blue & 0xffu);
}

}  // namespace

BusyScreen::BusyScreen(const std::string& display) {
    int number = 0;
    connection_ = xcb_connect(display.c_str(), &number);
    if (xcb_connection_has_error(connection_) != 0) {
        error_ = "cannot connect to the X server " + display;
        return;
    }
    auto it = xcb_setup_roots_iterator(xcb_get_setup(connection_));
    for (int i = 0; i < number && it.rem > 0; ++i) xcb_screen_next(&it);
    screen_ = it.rem > 0 ? it.data : nullptr;
    if (screen_ == nullptr) {
        error_ = "the display " + display + " has no such screen";
        return;
    }
    CheckLayout();
}

BusyScreen::~BusyScreen() {
    if (connection_ != nullptr)
        xcb_disconnect(connection_);
}

int BusyScreen::Width() const {
    return screen_ != nullptr ? screen_->width_in_pixels : 0;
}

int BusyScreen::Height() const {
    return screen_ != nullptr ? screen_->height_in_pixels : 0;
}

bool BusyScreen::CheckLayout() {
    const xcb_setup_t* setup = xcb_get_setup(connection_);
    const xcb_visualtype_t* visual = nullptr;
    for (auto depth = xcb_screen_allowed_depths_iterator(screen_); depth.rem > 0;
         xcb_depth_next(&depth)) {
        for (auto v = xcb_depth_visuals_iterator(depth.data); v.rem > 0; xcb_visualtype_next(&v)) {
            if (v.data->visual_id == screen_->root_visual)
                visual = v.data;
        }
    }
    int bitsPerPixel = 0;
    for (auto f = xcb_setup_pixmap_formats_iterator(setup); f.rem > 0; xcb_format_next(&f)) {
        if (f.data->depth == screen_->root_depth)
            bitsPerPixel = f.data->bits_per_pixel;
    }
    const std::uint32_t masks[3] = {visual != nullptr ? visual->red_mask : 0u,
                                    visual != nullptr ? visual->green_mask : 0u,
                                    visual != nullptr ? visual->blue_mask : 0u};
    bool eightBits = true;
    for (int c = 0; c < 3; ++c) {
        shift_[c] = std::countr_zero(masks[c]);
        eightBits = eightBits && masks[c] != 0 && (masks[c] >> shift_[c]) == 0xffu;
    }
    if (visual == nullptr || visual->_class != XCB_VISUAL_CLASS_TRUE_COLOR || bitsPerPixel != 32 ||
        !eightBits) {
        error_ = "the benchmark needs a true-colour screen of 8-bit channels in 32-bit pixels";
        return false;
    }
    swap_ = (setup->image_byte_order == XCB_IMAGE_ORDER_MSB_FIRST) !=
            (std::endian::native == std::endian::big);
    return true;
}

bool BusyScreen::Paint() {
    if (!error_.empty())
        return false;
    const int width = Width();
    const int height = Height();
    const xcb_pixmap_t pixmap = xcb_generate_id(connection_);
    xcb_create_pixmap(connection_, screen_->root_depth, pixmap, screen_->root,
                      static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(height));
    const xcb_gcontext_t gc = xcb_generate_id(connection_);
    xcb_create_gc(connection_, gc, pixmap, 0, nullptr);

    const std::size_t rowBytes = 4 * static_cast<std::size_t>(width);
    const int stripRows = static_cast<int>(std::max<std::size_t>(1, STRIP_BYTES / rowBytes));
    std::vector<std::uint32_t> strip(static_cast<std::size_t>(width) *
                                     static_cast<std::size_t>(stripRows));
    for (int top = 0; top < height; top += stripRows) {
        const int rows = std::min(stripRows, height - top);
        std::uint32_t* out = strip.data();
        for (int y = top; y < top + rows; ++y) {
            for (int x = 0; x < width; ++x) {
                const std::uint32_t c = TestKit::BusyColourAt(x, y, width, height);
                std::uint32_t pixel = (c >> 16 & 0xffu) << shift_[0] |
                                      (c >> 8 & 0xffu) << shift_[1] | (c & 0xffu) << shift_[2];
                if (swap_)
                    pixel = ByteSwap(pixel);
                *out++ = pixel;
            }
        }
        xcb_put_image(connection_, XCB_IMAGE_FORMAT_Z_PIXMAP, pixmap, gc,
                      static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(rows), 0,
                      static_cast<std::int16_t>(top), 0, screen_->root_depth,
                      static_cast<std::uint32_t>(rowBytes * static_cast<std::size_t>(rows)),
                      reinterpret_cast<const std::uint8_t*>(strip.data()));
    }
    const std::uint32_t background[] = {pixmap};
    xcb_change_window_attributes(connection_, screen_->root, XCB_CW_BACK_PIXMAP, background);
    xcb_clear_area(connection_, 0, screen_->root, 0, 0, 0, 0);
    // The root window keeps its background when the pixmap's id is gone.
    xcb_free_pixmap(connection_, pixmap);
    xcb_free_gc(connection_, gc);
    // A round trip: every request above has been carried out when its answer comes.
    Reply<xcb_get_input_focus_reply_t> sync(
        xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
    if (!sync || xcb_connection_has_error(connection_) != 0) {
        error_ = "the X server broke the connection while painting";
        return false;
    }
    return true;
}

bool BusyScreen::ReadRows(int x, int y, int width, int height,
                          const std::function<void(int, const std::uint32_t*)>& rowAt) {
    if (!error_.empty())
        return false;
    const std::size_t rowBytes = 4 * static_cast<std::size_t>(width);
    const int stripRows = static_cast<int>(std::max<std::size_t>(1, STRIP_BYTES / rowBytes));
    std::vector<std::uint32_t> row(static_cast<std::size_t>(width));
    for (int top = 0; top < height; top += stripRows) {
        const int rows = std::min(stripRows, height - top);
        xcb_generic_error_t* failure = nullptr;
        Reply<xcb_get_image_reply_t> image(xcb_get_image_reply(
            connection_,
            xcb_get_image(connection_, XCB_IMAGE_FORMAT_Z_PIXMAP, screen_->root,
                          static_cast<std::int16_t>(x), static_cast<std::int16_t>(y + top),
                          static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(rows), ~0u),
            &failure));
        std::free(failure);
        if (!image || static_cast<std::size_t>(xcb_get_image_data_length(image.get())) <
                          rowBytes * static_cast<std::size_t>(rows)) {
            error_ = "the X server refused to send the screen";
            return false;
        }
        const std::uint8_t* data = xcb_get_image_data(image.get());
        for (int r = 0; r < rows; ++r) {
            const std::uint8_t* source = data + rowBytes * static_cast<std::size_t>(r);
            for (int i = 0; i < width; ++i) {
                std::uint32_t pixel = 0;
                std::copy_n(source + 4 * static_cast<std::size_t>(i), 4,
                            reinterpret_cast<std::uint8_t*>(&pixel));
                if (swap_)
                    pixel = ByteSwap(pixel);
                row[static_cast<std::size_t>(i)] =
                    Rgb(pixel >> shift_[0], pixel >> shift_[1], pixel >> shift_[2]);
            }
            rowAt(top + r, row.data());
        }
    }
    return true;
}

}  // namespace Bench
