#include "platform/win32/Win32ScreenGrab.h"

#include "common/win32/Win32WideText.h"
#include "core/FailureTexts.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>

namespace Platform::Win32 {

using KestrelMain::AreaScaler;
using KestrelMain::Failure;
using KestrelMain::Palette;
using KestrelMain::PaletteEntry;
using KestrelMain::PixelKind;
using KestrelMain::PixelLayout;
using KestrelMain::Result;
using KestrelMain::Status;

namespace {

constexpr int PALETTE_SIZE = 256;

// GDI does not always set a last error; the call's name stands in for it then.
std::string GdiReason(const char* call) {
    const DWORD error = GetLastError();
    return error != ERROR_SUCCESS ? std::string(call) + ": " + SystemReason(error)
                                  : std::string(call) + " failed";
}

Failure ReadFailure(const char* call) {
    return Failure{KestrelMain::CANNOT_READ_SCREEN, {}, GdiReason(call)};
}

PixelLayout Layout(bool indexed) {
    PixelLayout layout;  // 32 bits per pixel, 0xff0000/0xff00/0xff, depth 24, rows of 32 bits
    if (indexed) {
        layout.Kind = PixelKind::Indexed;
        layout.Depth = 8;
        layout.BitsPerPixel = 8;
        layout.RedMask = layout.GreenMask = layout.BlueMask = 0;
    }
    return layout;
}

struct StripInfo {
    BITMAPINFOHEADER Header;
    RGBQUAD Colors[PALETTE_SIZE];
};

Result<Palette> ReadSystemPalette(HDC screen) {
    std::array<PALETTEENTRY, PALETTE_SIZE> entries{};
    SetLastError(ERROR_SUCCESS);
    const UINT count = GetSystemPaletteEntries(screen, 0, PALETTE_SIZE, entries.data());
    if (count == 0)
        return Failure{
            "Cannot read the screen's colormap", {}, GdiReason("GetSystemPaletteEntries")};
    Palette palette;
    palette.Entries.resize(PALETTE_SIZE);
    for (UINT i = 0; i < std::min<UINT>(count, PALETTE_SIZE); ++i)
        palette.Entries[i] = PaletteEntry{entries[i].peRed, entries[i].peGreen, entries[i].peBlue};
    return palette;
}

}  // namespace

// Rows of the area, copied from the screen a strip at a time as the scaler asks for them.
class Win32ScreenGrab::StripReader final : public KestrelMain::RowSource {
  public:
    StripReader(HDC screen, HDC memory, const std::uint8_t* bits, const Seam::ScreenRect& area,
                std::size_t rowBytes, int stripRows)
        : screen_(screen),
          memory_(memory),
          bits_(bits),
          area_(area),
          rowBytes_(rowBytes),
          stripRows_(stripRows) {}

    const std::uint8_t* Row(int y) override {
        if (y < 0 || y >= area_.Height)
            return nullptr;
        if (y < start_ || y >= start_ + rows_) {
            const int rows = std::min(stripRows_, area_.Height - y);
            SetLastError(ERROR_SUCCESS);
            // SRCCOPY alone: CAPTUREBLT hides and redraws the pointer for every strip, a
            // visible blink at every timer capture, and a composited desktop's screen holds
            // its layered windows already.
            if (!BitBlt(memory_, 0, 0, area_.Width, rows, screen_, area_.X, area_.Y + y, SRCCOPY)) {
                failure_ = ReadFailure("BitBlt");
                rows_ = 0;
                return nullptr;
            }
            // The DIB's memory is read directly: GDI's batched drawing must be done first.
            GdiFlush();
            start_ = y;
            rows_ = rows;
        }
        return bits_ + static_cast<std::size_t>(y - start_) * rowBytes_;
    }

    const std::optional<Failure>& Failed() const { return failure_; }

  private:
    HDC screen_;
    HDC memory_;
    const std::uint8_t* bits_;
    Seam::ScreenRect area_;
    std::size_t rowBytes_;
    int stripRows_;
    int start_ = 0;
    int rows_ = 0;
    std::optional<Failure> failure_;
};

Win32ScreenGrab::Win32ScreenGrab(std::size_t stripBytes)
    : stripBytes_(std::max<std::size_t>(stripBytes, 1)) {}

Win32ScreenGrab::~Win32ScreenGrab() {
    ReleaseStrip();
    if (memory_ != nullptr)
        DeleteDC(memory_);
    if (screen_ != nullptr)
        ReleaseDC(nullptr, screen_);
}

Status Win32ScreenGrab::OpenDevice() {
    if (screen_ == nullptr) {
        SetLastError(ERROR_SUCCESS);
        screen_ = GetDC(nullptr);
        if (screen_ == nullptr)
            return ReadFailure("GetDC");
    }
    if (memory_ == nullptr) {
        SetLastError(ERROR_SUCCESS);
        memory_ = CreateCompatibleDC(screen_);
        if (memory_ == nullptr)
            return ReadFailure("CreateCompatibleDC");
    }
    return std::nullopt;
}

void Win32ScreenGrab::ReleaseStrip() {
    if (strip_ == nullptr)
        return;
    SelectObject(memory_, original_);
    DeleteObject(strip_);
    strip_ = nullptr;
    original_ = nullptr;
    bits_ = nullptr;
    stripWidth_ = stripRows_ = 0;
}

Status Win32ScreenGrab::EnsureStrip(int width, int rows, bool indexed) {
    if (strip_ != nullptr && stripWidth_ == width && stripRows_ >= rows &&
        stripIndexed_ == indexed) {
        return std::nullopt;
    }
    ReleaseStrip();
    StripInfo info{};
    info.Header.biSize = sizeof info.Header;
    info.Header.biWidth = width;
    info.Header.biHeight = -rows;  // top-down: row 0 first, as the scaler reads them
    info.Header.biPlanes = 1;
    info.Header.biBitCount = indexed ? 8 : 32;
    info.Header.biCompression = BI_RGB;
    info.Header.biClrUsed = indexed ? PALETTE_SIZE : 0;
    void* bits = nullptr;
    SetLastError(ERROR_SUCCESS);
    HBITMAP strip = CreateDIBSection(screen_, reinterpret_cast<const BITMAPINFO*>(&info),
                                     DIB_RGB_COLORS, &bits, nullptr, 0);
    if (strip == nullptr || bits == nullptr) {
        if (strip != nullptr)
            DeleteObject(strip);
        return Failure{"Cannot grab the screen", {}, GdiReason("CreateDIBSection")};
    }
    SetLastError(ERROR_SUCCESS);
    HGDIOBJ original = SelectObject(memory_, strip);
    if (original == nullptr || original == HGDI_ERROR) {
        DeleteObject(strip);
        return Failure{"Cannot grab the screen", {}, GdiReason("SelectObject")};
    }
    strip_ = strip;
    original_ = original;
    bits_ = static_cast<std::uint8_t*>(bits);
    stripWidth_ = width;
    stripRows_ = rows;
    stripIndexed_ = indexed;
    return std::nullopt;
}

Result<KestrelMain::Picture> Win32ScreenGrab::GrabScaled(const Seam::ScreenRect& area,
                                                         int outputWidth, int outputHeight) {
    if (auto failed = OpenDevice())
        return *failed;
    const bool indexed = (GetDeviceCaps(screen_, RASTERCAPS) & RC_PALETTE) != 0 &&
                         GetDeviceCaps(screen_, SIZEPALETTE) == PALETTE_SIZE;
    const PixelLayout layout = Layout(indexed);
    // Checked before the strip is sized from the area; ScalePicture finds it prepared.
    if (auto failed = scaler_.Prepare(layout, area.Width, area.Height, outputWidth, outputHeight))
        return *failed;

    const std::size_t rowBytes = layout.RowBytes(area.Width);
    const int stripRows = static_cast<int>(
        std::clamp<std::size_t>(stripBytes_ / rowBytes, 1, static_cast<std::size_t>(area.Height)));
    if (auto failed = EnsureStrip(area.Width, stripRows, indexed))
        return *failed;

    std::optional<Palette> palette;
    if (indexed) {
        auto read = ReadSystemPalette(screen_);
        if (!read)
            return read.Error();
        // The strip's colour table is the system palette itself, so BitBlt maps every
        // screen pixel to its own index and the indices are the screen's.
        RGBQUAD colors[PALETTE_SIZE] = {};
        for (int i = 0; i < PALETTE_SIZE; ++i) {
            const PaletteEntry& entry = read.Value().Entries[static_cast<std::size_t>(i)];
            colors[i] = RGBQUAD{entry.Blue, entry.Green, entry.Red, 0};
        }
        if (SetDIBColorTable(memory_, 0, PALETTE_SIZE, colors) != PALETTE_SIZE)
            return Failure{"Cannot read the screen's colormap", {}, GdiReason("SetDIBColorTable")};
        palette = std::move(read.Value());
    }

    StripReader reader(screen_, memory_, bits_, area, rowBytes, stripRows);
    return KestrelMain::ScalePicture(
        scaler_, layout, area.Width, area.Height, outputWidth, outputHeight, reader,
        std::move(palette),
        [&] { return reader.Failed() ? *reader.Failed() : ReadFailure("reading a strip"); });
}

}  // namespace Platform::Win32
