#include "support/ScreenPainter.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace TestSupport {

namespace {

std::uint32_t ToChannel(std::uint8_t value, std::uint32_t mask) {
    const int shift = std::countr_zero(mask);
    const std::uint32_t max = mask >> shift;
    return ((value * max + 127) / 255) << shift;
}

std::uint8_t FromChannel(std::uint32_t pixel, std::uint32_t mask) {
    const int shift = std::countr_zero(mask);
    const std::uint32_t max = mask >> shift;
    return static_cast<std::uint8_t>((((pixel & mask) >> shift) * 255 + max / 2) / max);
}

std::uint32_t Key(Rgb c) {
    return std::uint32_t{c.Red} << 16 | std::uint32_t{c.Green} << 8 | c.Blue;
}

}  // namespace

ScreenPainter::ScreenPainter(const std::string& display) {
    connection_ = xcb_connect(display.c_str(), nullptr);
    if (xcb_connection_has_error(connection_) != 0) {
        throw std::runtime_error("cannot connect to X display " + display);
    }
    screen_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
    for (auto d = xcb_screen_allowed_depths_iterator(screen_); d.rem > 0; xcb_depth_next(&d)) {
        for (auto v = xcb_depth_visuals_iterator(d.data); v.rem > 0; xcb_visualtype_next(&v)) {
            if (v.data->visual_id != screen_->root_visual)
                continue;
            trueColor_ = v.data->_class == XCB_VISUAL_CLASS_TRUE_COLOR ||
                         v.data->_class == XCB_VISUAL_CLASS_DIRECT_COLOR;
            masks_[0] = v.data->red_mask;
            masks_[1] = v.data->green_mask;
            masks_[2] = v.data->blue_mask;
        }
    }
    for (auto f = xcb_setup_pixmap_formats_iterator(xcb_get_setup(connection_)); f.rem > 0;
         xcb_format_next(&f)) {
        if (f.data->depth == screen_->root_depth)
            bitsPerPixel_ = f.data->bits_per_pixel;
    }
    pixmap_ = xcb_generate_id(connection_);
    xcb_create_pixmap(connection_, screen_->root_depth, pixmap_, screen_->root,
                      screen_->width_in_pixels, screen_->height_in_pixels);
    gc_ = xcb_generate_id(connection_);
    xcb_create_gc(connection_, gc_, pixmap_, 0, nullptr);
    const std::uint32_t background[] = {pixmap_};
    xcb_change_window_attributes(connection_, screen_->root, XCB_CW_BACK_PIXMAP, background);
    Fill(0, 0, Width(), Height(), Rgb{0, 0, 0});
}

ScreenPainter::~ScreenPainter() {
    if (connection_ != nullptr)
        xcb_disconnect(connection_);
}

std::uint32_t ScreenPainter::PixelOf(Rgb colour) {
    if (trueColor_) {
        return ToChannel(colour.Red, masks_[0]) | ToChannel(colour.Green, masks_[1]) |
               ToChannel(colour.Blue, masks_[2]);
    }
    const auto known = allocated_.find(Key(colour));
    if (known != allocated_.end())
        return known->second;
    xcb_alloc_color_reply_t* reply =
        xcb_alloc_color_reply(connection_,
                              xcb_alloc_color(connection_, screen_->default_colormap,
                                              static_cast<std::uint16_t>(colour.Red * 257),
                                              static_cast<std::uint16_t>(colour.Green * 257),
                                              static_cast<std::uint16_t>(colour.Blue * 257)),
                              nullptr);
    if (reply == nullptr)
        throw std::runtime_error("cannot allocate a colormap cell");
    const std::uint32_t pixel = reply->pixel;
    std::free(reply);
    allocated_[Key(colour)] = pixel;
    return pixel;
}

Rgb ScreenPainter::Shown(Rgb colour) {
    if (!trueColor_)
        return colour;
    const std::uint32_t pixel = PixelOf(colour);
    return Rgb{FromChannel(pixel, masks_[0]), FromChannel(pixel, masks_[1]),
               FromChannel(pixel, masks_[2])};
}

void ScreenPainter::Fill(int x, int y, int width, int height, Rgb colour) {
    const std::uint32_t values[] = {PixelOf(colour)};
    xcb_change_gc(connection_, gc_, XCB_GC_FOREGROUND, values);
    const xcb_rectangle_t rect{static_cast<std::int16_t>(x), static_cast<std::int16_t>(y),
                               static_cast<std::uint16_t>(width),
                               static_cast<std::uint16_t>(height)};
    xcb_poly_fill_rectangle(connection_, pixmap_, gc_, 1, &rect);
    Show();
}

void ScreenPainter::Paint(const std::function<Rgb(int x, int y)>& colourAt) {
    if (!trueColor_)
        throw std::runtime_error("Paint needs a true-colour screen");
    const int bytesPerPixel = bitsPerPixel_ / 8;
    const std::size_t stride = (static_cast<std::size_t>(Width()) * bytesPerPixel + 3) / 4 * 4;
    const int rowsPerRequest = std::max(1, static_cast<int>((256 * 1024) / stride));
    std::vector<std::uint8_t> data;
    for (int top = 0; top < Height(); top += rowsPerRequest) {
        const int rows = std::min(rowsPerRequest, Height() - top);
        data.assign(stride * rows, 0);
        for (int y = 0; y < rows; ++y) {
            for (int x = 0; x < Width(); ++x) {
                const std::uint32_t pixel = PixelOf(colourAt(x, top + y));
                std::memcpy(&data[stride * y + static_cast<std::size_t>(x) * bytesPerPixel], &pixel,
                            static_cast<std::size_t>(bytesPerPixel));
            }
        }
        xcb_put_image(connection_, XCB_IMAGE_FORMAT_Z_PIXMAP, pixmap_, gc_,
                      static_cast<std::uint16_t>(Width()), static_cast<std::uint16_t>(rows), 0,
                      static_cast<std::int16_t>(top), 0, screen_->root_depth,
                      static_cast<std::uint32_t>(data.size()), data.data());
    }
    Show();
}

std::vector<Rgb> ScreenPainter::ReadScreen() {
    std::vector<Rgb> pixels(static_cast<std::size_t>(Width()) * Height());
    std::vector<Rgb> colormap;
    if (!trueColor_) {
        std::vector<std::uint32_t> indices(256);
        for (std::uint32_t i = 0; i < 256; ++i) indices[i] = i;
        xcb_query_colors_reply_t* colours = xcb_query_colors_reply(
            connection_,
            xcb_query_colors(connection_, screen_->default_colormap, 256, indices.data()), nullptr);
        const xcb_rgb_t* rgb = xcb_query_colors_colors(colours);
        for (int i = 0; i < xcb_query_colors_colors_length(colours); ++i) {
            colormap.push_back(Rgb{static_cast<std::uint8_t>(rgb[i].red >> 8),
                                   static_cast<std::uint8_t>(rgb[i].green >> 8),
                                   static_cast<std::uint8_t>(rgb[i].blue >> 8)});
        }
        std::free(colours);
    }
    const int bytesPerPixel = bitsPerPixel_ / 8;
    const int rowsPerRequest = 64;
    for (int top = 0; top < Height(); top += rowsPerRequest) {
        const int rows = std::min(rowsPerRequest, Height() - top);
        xcb_get_image_reply_t* reply = xcb_get_image_reply(
            connection_,
            xcb_get_image(connection_, XCB_IMAGE_FORMAT_Z_PIXMAP, screen_->root, 0,
                          static_cast<std::int16_t>(top), static_cast<std::uint16_t>(Width()),
                          static_cast<std::uint16_t>(rows), ~0u),
            nullptr);
        if (reply == nullptr)
            throw std::runtime_error("cannot read the screen");
        const std::uint8_t* data = xcb_get_image_data(reply);
        const std::size_t stride =
            static_cast<std::size_t>(xcb_get_image_data_length(reply)) / rows;
        for (int y = 0; y < rows; ++y) {
            for (int x = 0; x < Width(); ++x) {
                std::uint32_t pixel = 0;
                std::memcpy(&pixel, data + stride * y + static_cast<std::size_t>(x) * bytesPerPixel,
                            static_cast<std::size_t>(bytesPerPixel));
                Rgb& out = pixels[static_cast<std::size_t>(top + y) * Width() + x];
                out = trueColor_ ? Rgb{FromChannel(pixel, masks_[0]), FromChannel(pixel, masks_[1]),
                                       FromChannel(pixel, masks_[2])}
                                 : colormap.at(pixel);
            }
        }
        std::free(reply);
    }
    return pixels;
}

void ScreenPainter::Show() {
    xcb_clear_area(connection_, 0, screen_->root, 0, 0, 0, 0);
    // A round trip: the server has painted everything asked for so far.
    std::free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
}

}  // namespace TestSupport
