// The BMP encoding: every depth read back by an independent reader, the header's variants,
// and the rules of saving through the file system (never over an existing file).
#include "core/Bmp.h"
#include "support/MemoryFileSystem.h"
#include "support/TestPictures.h"
#include "testkit/BmpReader.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace {

using TestKit::ReadBmpBytes;
using TestKit::Rgb;
using TestSupport::Gradient;
using TestSupport::GradientRaw;
using TestSupport::MemoryFileSystem;

TEST(BmpEncoding, EveryDepthReadsBackPixelForPixel) {
    for (int bits : {24, 16, 8}) {
        for (const auto& [width, height] :
             {std::pair{801, 601}, std::pair{800, 600}, std::pair{3, 2}, std::pair{1, 1}}) {
            SCOPED_TRACE(std::to_string(bits) + " bits, " + std::to_string(width) + "x" +
                         std::to_string(height));
            MemoryFileSystem files;
            files.AddDirectories("/d");
            ASSERT_FALSE(
                KestrelMain::SavePictureAsBmp(Gradient(width, height, bits), "/d/x.bmp", files));
            const auto bmp = ReadBmpBytes(files.FileBytes("/d/x.bmp"));
            ASSERT_TRUE(bmp.Ok()) << bmp.Error;
            EXPECT_EQ(bmp.Width, width);
            EXPECT_EQ(bmp.Height, height);
            EXPECT_EQ(bmp.BitsPerPixel, bits);
            EXPECT_EQ(bmp.Palette.size(), bits == 8 ? 256u : 0u);
            int wrong = 0;
            for (int y = 0; y < height; ++y) {
                for (int x = 0; x < width; ++x) wrong += bmp.RawAt(x, y) != GradientRaw(x, y, bits);
            }
            EXPECT_EQ(wrong, 0);
            if (bits == 8) {
                // The colours come from the picture's palette: entry i is (i, 255 - i, 3i).
                EXPECT_EQ(bmp.Palette[200], (Rgb{200, 55, static_cast<std::uint8_t>(600)}));
            }
        }
    }
}

TEST(BmpEncoding, Plain555NeedsNoBitFieldsAnd565CarriesThem) {
    const KestrelMain::Picture picture = Gradient(4, 4, 16);
    auto header = KestrelMain::BmpHeader(picture);
    ASSERT_TRUE(header.Ok());
    EXPECT_EQ((*header).size(), 14u + 40u + 12u);
    EXPECT_EQ((*header)[30], 3);  // BI_BITFIELDS

    auto bitmap = KestrelMain::AllocateBitmap(4, 4, 16);
    bitmap.Value().RedMask = 0x7c00;
    bitmap.Value().GreenMask = 0x03e0;
    bitmap.Value().BlueMask = 0x001f;
    const KestrelMain::Picture plain =
        KestrelMain::CreateBitmapPicture(std::move(bitmap.Value()), std::nullopt);
    header = KestrelMain::BmpHeader(plain);
    ASSERT_TRUE(header.Ok());
    EXPECT_EQ((*header).size(), 14u + 40u);
    EXPECT_EQ((*header)[30], 0);  // BI_RGB
}

TEST(BmpEncoding, APictureTheFormatCannotHoldFailsWithItsSizeAndPath) {
    auto bitmap = KestrelMain::AllocateBitmap(2, 2, 32);
    ASSERT_TRUE(bitmap.Ok());
    const KestrelMain::Picture deep =
        KestrelMain::CreateBitmapPicture(std::move(bitmap.Value()), std::nullopt);
    MemoryFileSystem files;
    const auto failed = KestrelMain::SavePictureAsBmp(deep, "/x.bmp", files);
    ASSERT_TRUE(failed);
    EXPECT_EQ(failed->What, "Cannot save a picture of 2 x 2 pixels as BMP");
    EXPECT_EQ(failed->Path, "/x.bmp");
    EXPECT_EQ(failed->Reason, "32 bits per pixel");
    EXPECT_EQ(files.FileCount(), 0u);
}

TEST(BmpEncoding, SavingNeverReplacesAnExistingFile) {
    MemoryFileSystem files;
    files.AddDirectories("/d");
    ASSERT_FALSE(KestrelMain::SavePictureAsBmp(Gradient(2, 2, 24), "/d/1.bmp", files));
    const std::vector<std::uint8_t> first = files.FileBytes("/d/1.bmp");
    const auto failed = KestrelMain::SavePictureAsBmp(Gradient(5, 5, 24), "/d/1.bmp", files);
    ASSERT_TRUE(failed);
    EXPECT_EQ(failed->What, "Cannot save the capture");
    EXPECT_EQ(failed->Path, "/d/1.bmp");
    EXPECT_EQ(files.FileBytes("/d/1.bmp"), first);
}

}  // namespace
