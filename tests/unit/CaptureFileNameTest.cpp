// The capture file name and the pointer position it records.
#include "core/FileName.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace {

using KestrelMain::ComposeCaptureFileName;
using KestrelMain::ScaleToImage;

TEST(CaptureFileName, PointerScalesToImagePixelsTruncatingTowardZero) {
    const struct {
        std::int64_t Output, Pointer, Screen, Image;
    } cases[] = {
        {800, 512, 1024, 400},    {600, 384, 768, 300}, {640, 1023, 1024, 639},
        {480, 767, 768, 479},     {800, 0, 1024, 0},    {800, 1023, 1024, 799},
        {800, -1, 1024, 0},        // -0.78 truncates toward zero
        {800, -924, 1024, -721},   // a monitor left of the primary one
        {800, 1500, 1024, 1171},   // a monitor right of it: beyond the output width
        {1600, 1000, 1024, 1562},  // enlarged
        {800, 100, 0, 0},          // no screen: no division by zero
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ScaleToImage(c.Output, c.Pointer, c.Screen), c.Image)
            << c.Output << " x " << c.Pointer << " / " << c.Screen;
    }
}

TEST(CaptureFileName, APointerFarOutOnALargeDesktopDoesNotOverflow) {
    // 32767 x 70000 overflows 32 bits; the capture must not be lost to it.
    EXPECT_EQ(ScaleToImage(32767, 70000, 1024), std::int64_t{32767} * 70000 / 1024);
    EXPECT_EQ(ScaleToImage(32767, -70000, 1024), -(std::int64_t{32767} * 70000 / 1024));
    const std::int64_t far = std::numeric_limits<std::int32_t>::max();
    EXPECT_EQ(ScaleToImage(32767, far, 1), std::int64_t{32767} * far);
}

TEST(CaptureFileName, IsThePlainConcatenationOfItsPieces) {
    EXPECT_EQ(
        ComposeCaptureFileName("/home/u/Pictures/KESTREL_10052000_224408", 7, "140359", 400, 300),
        "/home/u/Pictures/KESTREL_10052000_224408/7-140359-400-300.bmp");
    EXPECT_EQ(ComposeCaptureFileName("/d", 1, "000000", 0, 0), "/d/1-000000-0-0.bmp");
    EXPECT_EQ(ComposeCaptureFileName("/d", 32767, "235959", 639, 479),
              "/d/32767-235959-639-479.bmp");
    // The count is 32 bits: numbering goes on past 32,767.
    EXPECT_EQ(ComposeCaptureFileName("/d", 32768, "235959", 1, 2), "/d/32768-235959-1-2.bmp");
    EXPECT_EQ(ComposeCaptureFileName("/d", 2147483647, "000001", 1, 2),
              "/d/2147483647-000001-1-2.bmp");
}

TEST(CaptureFileName, ANegativeCoordinateKeepsItsSignAfterTheSeparator) {
    EXPECT_EQ(ComposeCaptureFileName("/d", 2, "090507", -721, 300), "/d/2-090507--721-300.bmp");
    EXPECT_EQ(ComposeCaptureFileName("/d", 2, "090507", 5, -3), "/d/2-090507-5--3.bmp");
    EXPECT_EQ(ComposeCaptureFileName("/d", 3, "090507", 1171, 300), "/d/3-090507-1171-300.bmp");
}

}  // namespace
