#include "platform/wayland/WaylandScreenGrab.h"

#include "core/FailureTexts.h"
#include "core/seam/Services.h"
#include "ext-image-capture-source-v1-client-protocol.h"
#include "ext-image-copy-capture-v1-client-protocol.h"
#include "wlr-screencopy-unstable-v1-client-protocol.h"

#include <wayland-client.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace Platform::Wayland {

using KestrelMain::Failure;
using KestrelMain::PixelLayout;
using KestrelMain::Result;
using KestrelMain::Status;

namespace {

// Two refresh intervals at the slowest rate a desktop runs at, and more: the compositor
// answers a copy with its next frame.
constexpr auto FRAME_DEADLINE = std::chrono::seconds(2);

Failure GrabFailure(std::string reason) {
    return CompositorFailure(KestrelMain::CANNOT_READ_SCREEN, std::move(reason));
}

// The pixel layouts of the shared-memory formats the compositor may offer: 32 bits per
// pixel, little-endian words, colour in 24 of them.
std::optional<PixelLayout> LayoutOf(std::uint32_t format) {
    PixelLayout layout;  // XRGB: blue in the lowest byte
    switch (format) {
        case WL_SHM_FORMAT_XRGB8888:
        case WL_SHM_FORMAT_ARGB8888:
            return layout;
        case WL_SHM_FORMAT_XBGR8888:
        case WL_SHM_FORMAT_ABGR8888:
            layout.RedMask = 0x0000ffu;
            layout.BlueMask = 0xff0000u;
            return layout;
        default:
            return std::nullopt;
    }
}

std::string FormatName(std::uint32_t format) {
    std::string name;
    for (int shift = 0; shift < 32; shift += 8) name += static_cast<char>((format >> shift) & 0xff);
    return name;
}

// What one wlr-screencopy capture heard from the compositor.
struct Frame {
    std::optional<std::uint32_t> Format;
    int Width = 0;
    int Height = 0;
    int Stride = 0;
    bool BuffersDone = false;
    bool YInverted = false;
    bool Ready = false;
    bool Failed = false;
};

struct FrameEvents {
    static Frame& Of(void* data) { return *static_cast<Frame*>(data); }
    static void Buffer(void* data, zwlr_screencopy_frame_v1*, std::uint32_t format,
                       std::uint32_t width, std::uint32_t height, std::uint32_t stride) {
        Frame& frame = Of(data);
        // The first shared-memory offer of a format Kestrel reads, else the first of all.
        if (!frame.Format || (!LayoutOf(*frame.Format) && LayoutOf(format))) {
            frame.Format = format;
            frame.Width = static_cast<int>(width);
            frame.Height = static_cast<int>(height);
            frame.Stride = static_cast<int>(stride);
        }
    }
    static void Flags(void* data, zwlr_screencopy_frame_v1*, std::uint32_t flags) {
        Of(data).YInverted = (flags & ZWLR_SCREENCOPY_FRAME_V1_FLAGS_Y_INVERT) != 0;
    }
    static void Ready(void* data, zwlr_screencopy_frame_v1*, std::uint32_t, std::uint32_t,
                      std::uint32_t) {
        Of(data).Ready = true;
    }
    static void Failed(void* data, zwlr_screencopy_frame_v1*) { Of(data).Failed = true; }
    static void Damage(void*, zwlr_screencopy_frame_v1*, std::uint32_t, std::uint32_t,
                       std::uint32_t, std::uint32_t) {}
    static void Dmabuf(void*, zwlr_screencopy_frame_v1*, std::uint32_t, std::uint32_t,
                       std::uint32_t) {}
    static void BufferDone(void* data, zwlr_screencopy_frame_v1*) { Of(data).BuffersDone = true; }

    static constexpr zwlr_screencopy_frame_v1_listener LISTENER{Buffer, Flags,  Ready,     Failed,
                                                                Damage, Dmabuf, BufferDone};
};

// What an ext-image-copy-capture session and its one frame heard from the compositor.
struct ImageCopy {
    std::optional<std::uint32_t> Format;
    int Width = 0;
    int Height = 0;
    bool ConstraintsDone = false;
    bool Stopped = false;
    std::optional<int> Transform;
    bool Ready = false;
    std::optional<std::uint32_t> FailedBecause;  // ext_image_copy_capture_frame_v1.failure_reason
};

struct ImageCopyEvents {
    static ImageCopy& Of(void* data) { return *static_cast<ImageCopy*>(data); }
    static void BufferSize(void* data, ext_image_copy_capture_session_v1*, std::uint32_t width,
                           std::uint32_t height) {
        Of(data).Width = static_cast<int>(width);
        Of(data).Height = static_cast<int>(height);
    }
    static void ShmFormat(void* data, ext_image_copy_capture_session_v1*, std::uint32_t format) {
        ImageCopy& copy = Of(data);
        if (!copy.Format || (!LayoutOf(*copy.Format) && LayoutOf(format)))
            copy.Format = format;
    }
    static void DmabufDevice(void*, ext_image_copy_capture_session_v1*, wl_array*) {}
    static void DmabufFormat(void*, ext_image_copy_capture_session_v1*, std::uint32_t, wl_array*) {}
    static void Done(void* data, ext_image_copy_capture_session_v1*) {
        Of(data).ConstraintsDone = true;
    }
    static void Stopped(void* data, ext_image_copy_capture_session_v1*) { Of(data).Stopped = true; }
    static constexpr ext_image_copy_capture_session_v1_listener SESSION{
        BufferSize, ShmFormat, DmabufDevice, DmabufFormat, Done, Stopped};

    static void Transform(void* data, ext_image_copy_capture_frame_v1*, std::uint32_t transform) {
        Of(data).Transform = static_cast<int>(transform);
    }
    static void Damage(void*, ext_image_copy_capture_frame_v1*, std::int32_t, std::int32_t,
                       std::int32_t, std::int32_t) {}
    static void PresentationTime(void*, ext_image_copy_capture_frame_v1*, std::uint32_t,
                                 std::uint32_t, std::uint32_t) {}
    static void Ready(void* data, ext_image_copy_capture_frame_v1*) { Of(data).Ready = true; }
    static void Failed(void* data, ext_image_copy_capture_frame_v1*, std::uint32_t reason) {
        Of(data).FailedBecause = reason;
    }
    static constexpr ext_image_copy_capture_frame_v1_listener FRAME{
        Transform, Damage, PresentationTime, Ready, Failed};
};

std::string ImageCopyFailure(std::uint32_t reason) {
    switch (reason) {
        case EXT_IMAGE_COPY_CAPTURE_FRAME_V1_FAILURE_REASON_BUFFER_CONSTRAINTS:
            return "the output's size or pixel format changed during the capture";
        case EXT_IMAGE_COPY_CAPTURE_FRAME_V1_FAILURE_REASON_STOPPED:
            return "the compositor stopped the capture of the output";
        default:
            return "the compositor failed to copy the output";
    }
}

// The upright rows of a frame: the buffer read through the output's transform (a quarter
// turn gathers a column into each row) and the frame's y-invert flag.
class UprightRows final : public KestrelMain::RowSource {
  public:
    UprightRows(const std::uint8_t* pixels, int stride, int bufferWidth, int bufferHeight,
                int transform, bool yInverted)
        : pixels_(pixels),
          stride_(stride),
          width_(bufferWidth),
          height_(bufferHeight),
          transform_(transform),
          yInverted_(yInverted) {}

    const std::uint8_t* Row(int y) override {
        const bool sideways = transform_ % 2 == 1;
        const int uprightWidth = sideways ? height_ : width_;
        const int uprightHeight = sideways ? width_ : height_;
        if (transform_ == WL_OUTPUT_TRANSFORM_NORMAL)
            return BufferRow(y);
        row_.resize(static_cast<std::size_t>(uprightWidth));
        for (int x = 0; x < uprightWidth; ++x) {
            const auto [bx, by] = Source(x, y, uprightWidth, uprightHeight);
            row_[static_cast<std::size_t>(x)] = Pixel(bx, by);
        }
        return reinterpret_cast<const std::uint8_t*>(row_.data());
    }

  private:
    const std::uint8_t* BufferRow(int by) const {
        const int stored = yInverted_ ? height_ - 1 - by : by;
        return pixels_ + static_cast<std::size_t>(stored) * static_cast<std::size_t>(stride_);
    }
    std::uint32_t Pixel(int bx, int by) const {
        std::uint32_t pixel;
        std::memcpy(&pixel, BufferRow(by) + static_cast<std::size_t>(bx) * 4, 4);
        return pixel;
    }
    // The buffer pixel shown at upright (x, y): the transform says how the buffer is turned
    // and flipped to show upright, counter-clockwise in quarter turns.
    std::pair<int, int> Source(int x, int y, int w, int h) const {
        if (transform_ >= WL_OUTPUT_TRANSFORM_FLIPPED)
            x = w - 1 - x;
        switch (transform_ % 4) {
            case WL_OUTPUT_TRANSFORM_90:
                return {y, w - 1 - x};
            case WL_OUTPUT_TRANSFORM_180:
                return {w - 1 - x, h - 1 - y};
            case WL_OUTPUT_TRANSFORM_270:
                return {h - 1 - y, x};
            default:
                return {x, y};
        }
    }

    const std::uint8_t* pixels_;
    int stride_;
    int width_;
    int height_;
    int transform_;
    bool yInverted_;
    std::vector<std::uint32_t> row_;
};

}  // namespace

WaylandScreenGrab::WaylandScreenGrab(WaylandConnection& connection, CaptureProtocol protocol)
    : connection_(connection), protocol_(protocol) {}

WaylandScreenGrab::~WaylandScreenGrab() = default;

const char* WaylandScreenGrab::ProtocolName() const {
    return protocol_ == CaptureProtocol::ImageCopy ? "ext-image-copy-capture" : "wlr-screencopy";
}

Status WaylandScreenGrab::Start() {
    const bool offered = protocol_ == CaptureProtocol::ImageCopy
                             ? connection_.OffersImageCopy()
                             : connection_.Screencopy() != nullptr;
    if (!offered) {
        return GrabFailure(
            std::string("the compositor offers no screen capture Kestrel can use (") +
            ProtocolName() + ")");
    }
    std::string line = std::string("Wayland: the screen through ") + ProtocolName();
    if (const WaylandOutput* primary = connection_.Primary()) {
        line += ", primary output " + primary->Connector + " (" + std::to_string(primary->Width()) +
                " x " + std::to_string(primary->Height()) + " pixels at " +
                std::to_string(primary->LogicalX) + "," + std::to_string(primary->LogicalY) + ")";
    }
    if (Seam::ErrorReport* report = Seam::Installed().Errors) {
        report->Note(line);
        const bool overlay = connection_.LayerShell() != nullptr;
        if (connection_.OffersImageCopy()) {
            report->Note(overlay ? "Wayland: the pointer through ext-image-copy-capture's cursor "
                                   "session, else a layer-shell overlay"
                                 : "Wayland: the pointer through ext-image-copy-capture's cursor "
                                   "session");
        } else {
            report->Note(overlay ? "Wayland: the pointer through a layer-shell overlay"
                                 : "Wayland: the compositor offers no layer shell, so the "
                                   "pointer's position is not known");
        }
    }
    return std::nullopt;
}

std::optional<std::string> WaylandScreenGrab::NotReadyBecause() {
    return std::nullopt;
}

Status WaylandScreenGrab::Keep(const Offer& offer) {
    if (offer == offered_)
        return std::nullopt;
    offered_ = Offer{};
    const std::string why = buffer_.Make(connection_.Shm(), offer.Width, offer.Height, offer.Stride,
                                         offer.Format, true);
    if (!why.empty())
        return GrabFailure(why);
    offered_ = offer;
    return std::nullopt;
}

// A source and a session per capture: a session's later frames wait for damage, which a
// still screen never brings; a new one starts with all of the output damaged.
Status WaylandScreenGrab::CopyWithImageCopy(const WaylandOutput& output, Copied& copied) {
    ImageCopy copy;
    ext_image_capture_source_v1* source = ext_output_image_capture_source_manager_v1_create_source(
        connection_.OutputSources(), output.Output);
    ext_image_copy_capture_session_v1* session =
        ext_image_copy_capture_manager_v1_create_session(connection_.ImageCopy(), source, 0);
    ext_image_copy_capture_session_v1_add_listener(session, &ImageCopyEvents::SESSION, &copy);
    Status failed = connection_.DispatchUntil([&] { return copy.ConstraintsDone || copy.Stopped; },
                                              FRAME_DEADLINE, "the capture session's buffer");
    std::optional<PixelLayout> layout;
    if (!failed && copy.Stopped) {
        copied.CompositorFailed = true;
        failed = GrabFailure("the compositor stopped the capture of the output");
    } else if (!failed && (!copy.Format || copy.Width <= 0 || copy.Height <= 0)) {
        failed = GrabFailure("the compositor offers the output in no shared-memory buffer");
    } else if (!failed && !LayoutOf(*copy.Format)) {
        failed = GrabFailure("the compositor copies the output only as " +
                             FormatName(*copy.Format) + ", a pixel format Kestrel does not read");
    }
    copied.Offered = Offer{copy.Format.value_or(0), copy.Width, copy.Height, copy.Width * 4};
    if (!failed)
        failed = Keep(copied.Offered);
    ext_image_copy_capture_frame_v1* frame = nullptr;
    if (!failed) {
        frame = ext_image_copy_capture_session_v1_create_frame(session);
        ext_image_copy_capture_frame_v1_add_listener(frame, &ImageCopyEvents::FRAME, &copy);
        ext_image_copy_capture_frame_v1_attach_buffer(frame, buffer_.Buffer());
        ext_image_copy_capture_frame_v1_damage_buffer(frame, 0, 0, copy.Width, copy.Height);
        ext_image_copy_capture_frame_v1_capture(frame);
        failed = connection_.DispatchUntil(
            [&] { return copy.Ready || copy.FailedBecause || copy.Stopped; }, FRAME_DEADLINE,
            "the copied frame");
        if (!failed && !copy.Ready) {
            copied.CompositorFailed = true;
            failed = GrabFailure(ImageCopyFailure(copy.FailedBecause.value_or(
                EXT_IMAGE_COPY_CAPTURE_FRAME_V1_FAILURE_REASON_STOPPED)));
        }
    }
    if (frame != nullptr)
        ext_image_copy_capture_frame_v1_destroy(frame);
    ext_image_copy_capture_session_v1_destroy(session);
    ext_image_capture_source_v1_destroy(source);
    // The frame says how the buffer is turned; a compositor that does not is taken to mean
    // the output's own transform, as wlr-screencopy's buffers are.
    copied.Transform = copy.Transform.value_or(output.Transform);
    return failed;
}

Status WaylandScreenGrab::CopyWithScreencopy(const WaylandOutput& output, Copied& copied) {
    Frame frame;
    zwlr_screencopy_frame_v1* copy =
        zwlr_screencopy_manager_v1_capture_output(connection_.Screencopy(), 0, output.Output);
    zwlr_screencopy_frame_v1_add_listener(copy, &FrameEvents::LISTENER, &frame);
    const bool listsBuffers = zwlr_screencopy_manager_v1_get_version(connection_.Screencopy()) >= 3;
    Status failed = connection_.DispatchUntil(
        [&] { return frame.Failed || (frame.Format && (frame.BuffersDone || !listsBuffers)); },
        FRAME_DEADLINE, "the frame's buffer");
    if (!failed && (frame.Failed || !frame.Format)) {
        failed = GrabFailure("the compositor refused to copy the output");
    } else if (!failed && !LayoutOf(*frame.Format)) {
        failed = GrabFailure("the compositor copies the output only as " +
                             FormatName(*frame.Format) + ", a pixel format Kestrel does not read");
    }
    copied.Offered = Offer{frame.Format.value_or(0), frame.Width, frame.Height, frame.Stride};
    if (!failed)
        failed = Keep(copied.Offered);
    if (!failed) {
        zwlr_screencopy_frame_v1_copy(copy, buffer_.Buffer());
        failed = connection_.DispatchUntil([&] { return frame.Ready || frame.Failed; },
                                           FRAME_DEADLINE, "the copied frame");
        if (!failed && frame.Failed)
            failed = GrabFailure("the compositor failed to copy the output");
    }
    zwlr_screencopy_frame_v1_destroy(copy);
    copied.Transform = output.Transform;
    copied.YInverted = frame.YInverted;
    copied.CompositorFailed = frame.Failed;
    return failed;
}

Result<KestrelMain::Picture> WaylandScreenGrab::GrabScaled(const Seam::ScreenRect& area,
                                                           int outputWidth, int outputHeight) {
    const bool offered = protocol_ == CaptureProtocol::ImageCopy
                             ? connection_.OffersImageCopy()
                             : connection_.Screencopy() != nullptr;
    if (!offered || connection_.Shm() == nullptr) {
        return GrabFailure(
            std::string("the compositor offers no screen capture Kestrel can use (") +
            ProtocolName() + ")");
    }
    const WaylandOutput* primary = connection_.Primary();
    if (primary == nullptr)
        return GrabFailure("the compositor shows no output");
    if (primary->Width() != area.Width || primary->Height() != area.Height)
        return GrabFailure("the primary output changed its size during the capture");
    // Kept by value: the output may go while the frame is waited for.
    const std::uint32_t output = primary->Name;

    Copied copied;
    Status failed = protocol_ == CaptureProtocol::ImageCopy ? CopyWithImageCopy(*primary, copied)
                                                            : CopyWithScreencopy(*primary, copied);
    // The compositor fails the copy of an output it removes or changes: that is what is said.
    if (failed && copied.CompositorFailed && !connection_.Sync()) {
        const WaylandOutput* now = connection_.OutputNamed(output);
        if (now == nullptr)
            return GrabFailure("the primary output went away during the capture");
        if (now->Width() != area.Width || now->Height() != area.Height)
            return GrabFailure("the primary output changed its size during the capture");
    }
    if (failed)
        return *failed;

    const Offer& offer = copied.Offered;
    const bool sideways = copied.Transform % 2 == 1;
    const int width = sideways ? offer.Height : offer.Width;
    const int height = sideways ? offer.Width : offer.Height;
    UprightRows rows(buffer_.Pixels(), offer.Stride, offer.Width, offer.Height, copied.Transform,
                     copied.YInverted);
    return KestrelMain::ScalePicture(
        scaler_, *LayoutOf(offer.Format), width, height, outputWidth, outputHeight, rows,
        std::nullopt, [] { return GrabFailure("a row of the frame could not be read"); });
}

}  // namespace Platform::Wayland
