// The arithmetic of the scaled grab, free of any screen source: rows of pixels in the
// source's layout go in one at a time, rows of the output bitmap come out.
//
// Direct pixels: an exact area average. Every output pixel is the mean of the source area
// it covers, source pixels cut by its edges counting with the fraction that lies inside,
// so a 4.8x reduction keeps thin lines as grey rather than dropping them, and an
// enlargement uses the same weights. Rows are folded into one accumulator row of 32-bit
// integers (vertical weights are exact integers); each finished accumulator row is
// reduced across with precomputed per-column weights.
//
// Indexed pixels: nearest neighbour on the palette indices, as averaging indices means
// nothing. The loops over pixels are in core/ScalerKernels.
#pragma once

#include "core/Bitmap.h"
#include "core/Failure.h"
#include "core/Picture.h"
#include "core/PixelLayout.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace KestrelMain {

// Rows of the source rectangle, asked for in increasing order; the same row may be asked
// for again. Returns null when the row cannot be read; the source keeps the reason.
class RowSource {
  public:
    virtual const std::uint8_t* Row(int y) = 0;

  protected:
    ~RowSource() = default;
};

class AreaScaler {
  public:
    AreaScaler();
    ~AreaScaler();
    AreaScaler(const AreaScaler&) = delete;
    AreaScaler& operator=(const AreaScaler&) = delete;

    // Checks the layout and sizes and prepares the weights; the weights are kept while
    // the geometry stays the same, so repeated captures do not recompute them.
    Status Prepare(const PixelLayout& layout, int sourceWidth, int sourceHeight, int outputWidth,
                   int outputHeight);

    const BitmapFormat& Format() const;

    // An uninitialised bitmap of the output size in Format(), channel masks set, for Run
    // to fill; a size memory cannot hold is a failure.
    Result<Bitmap> AllocateOutput(int outputWidth, int outputHeight) const;

    // Fills every row of `out` (allocated with Format() and the output size) from the
    // source's rows. False when a row could not be read.
    bool Run(RowSource& rows, Bitmap& out);

  private:
    bool RunIndexed(RowSource& rows, Bitmap& out);

    struct Tables;
    std::unique_ptr<Tables> tables_;
};

// The step every grab ends with: `scaler` prepared for this geometry (its tables kept for the
// next capture of the same), a bitmap of the output size filled from `rows`, and the picture
// of it with `palette` (indexed pixels only). When a row cannot be read the failure is
// `unreadable()`'s, asked only then, as the source knows why by then.
Result<Picture> ScalePicture(AreaScaler& scaler, const PixelLayout& layout, int sourceWidth,
                             int sourceHeight, int outputWidth, int outputHeight, RowSource& rows,
                             std::optional<Palette> palette,
                             const std::function<Failure()>& unreadable);

// The same from true-colour rows in memory, row y at `first` + y * `stride` bytes.
Result<Picture> ScalePicture(AreaScaler& scaler, const PixelLayout& layout, int sourceWidth,
                             int sourceHeight, int outputWidth, int outputHeight,
                             const std::uint8_t* first, std::ptrdiff_t stride);

}  // namespace KestrelMain
