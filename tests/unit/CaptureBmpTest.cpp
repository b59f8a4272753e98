// The BMP writer: the file read back independently and by Qt's reader, and the rules of
// saving: never over an existing file, never a partial file.
#include "capture/BmpWriter.h"
#include "capture/NewFile.h"
#include "capture/Picture.h"
#include "support/BmpReader.h"

#include <gtest/gtest.h>

#include <QImage>

#include <sys/resource.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

namespace fs = std::filesystem;
using TestSupport::ReadBmp;
using TestSupport::Rgb;

class TempDir {
  public:
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "kestrel-bmp-XXXXXX").string();
        path_ = mkdtemp(pattern.data());
    }
    ~TempDir() {
        std::error_code ignored;
        fs::permissions(path_, fs::perms::owner_all, ignored);
        fs::remove_all(path_, ignored);
    }
    fs::path Path() const { return path_; }
    QString File(const std::string& name) const {
        return QString::fromStdString((path_ / name).string());
    }
    std::size_t Entries() const {
        return static_cast<std::size_t>(
            std::distance(fs::directory_iterator(path_), fs::directory_iterator()));
    }

  private:
    fs::path path_;
};

// A picture whose pixel (x, y) has a colour computed from x and y.
Capture::Picture Gradient(int width, int height, int bits) {
    auto bitmap = Platform::AllocateBitmap(width, height, bits);
    EXPECT_TRUE(bitmap.Ok());
    Platform::Bitmap& b = bitmap.Value();
    std::optional<Platform::Palette> palette;
    if (bits == 16) {
        b.RedMask = 0xf800;
        b.GreenMask = 0x07e0;
        b.BlueMask = 0x001f;
    }
    if (bits == 8) {
        palette.emplace();
        for (int i = 0; i < 256; ++i) {
            palette->Entries.push_back(Platform::PaletteEntry{static_cast<std::uint8_t>(i),
                                                              static_cast<std::uint8_t>(255 - i),
                                                              static_cast<std::uint8_t>(i * 3)});
        }
    }
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = b.Row(y);
        std::memset(row, 0, b.Stride);
        for (int x = 0; x < width; ++x) {
            if (bits == 24) {
                row[3 * x] = static_cast<std::uint8_t>(x);      // blue
                row[3 * x + 1] = static_cast<std::uint8_t>(y);  // green
                row[3 * x + 2] = static_cast<std::uint8_t>(x + y);
            } else if (bits == 16) {
                const auto pixel = static_cast<std::uint16_t>((x % 32) << 11 | (y % 64) << 5 | 7);
                row[2 * x] = static_cast<std::uint8_t>(pixel);
                row[2 * x + 1] = static_cast<std::uint8_t>(pixel >> 8);
            } else {
                row[x] = static_cast<std::uint8_t>(x + 2 * y);
            }
        }
    }
    return Capture::CreateBitmapPicture(std::move(b), std::move(palette));
}

TEST(BmpWriter, WritesEveryDepthAsCommonReadersExpectIt) {
    TempDir dir;
    for (int bits : {24, 16, 8}) {
        for (const auto& [width, height] :
             {std::pair{801, 601}, std::pair{800, 600}, std::pair{1, 1}}) {
            SCOPED_TRACE(std::to_string(bits) + " bits, " + std::to_string(width) + "x" +
                         std::to_string(height));
            const QString file =
                dir.File(std::to_string(bits) + "-" + std::to_string(width) + ".bmp");
            ASSERT_FALSE(Capture::SavePictureAsBmp(Gradient(width, height, bits), file));

            const auto bmp = ReadBmp(file.toStdString());
            ASSERT_TRUE(bmp.Ok()) << bmp.Error;
            EXPECT_EQ(bmp.Width, width);
            EXPECT_EQ(bmp.Height, height);
            EXPECT_EQ(bmp.BitsPerPixel, bits);
            const QImage qt(file);
            ASSERT_FALSE(qt.isNull());
            EXPECT_EQ(qt.width(), width);
            EXPECT_EQ(qt.height(), height);
            for (const auto& [x, y] : {std::pair{0, 0}, std::pair{width - 1, height - 1},
                                       std::pair{width / 2, height / 3}}) {
                const QRgb seen = qt.pixel(x, y);
                const Rgb read = bmp.At(x, y);
                if (bits == 16) {
                    // Readers widen 5 and 6 bits differently; the bits themselves agree.
                    const std::uint32_t raw = bmp.RawAt(x, y);
                    EXPECT_EQ(static_cast<std::uint32_t>(qRed(seen)) >> 3, raw >> 11);
                    EXPECT_EQ(static_cast<std::uint32_t>(qGreen(seen)) >> 2, (raw >> 5) & 63);
                    EXPECT_EQ(static_cast<std::uint32_t>(qBlue(seen)) >> 3, raw & 31);
                } else {
                    EXPECT_EQ(qRed(seen), read.Red) << x << "," << y;
                    EXPECT_EQ(qGreen(seen), read.Green) << x << "," << y;
                    EXPECT_EQ(qBlue(seen), read.Blue) << x << "," << y;
                }
                if (bits == 24) {
                    EXPECT_EQ(read,
                              (Rgb{static_cast<std::uint8_t>(x + y), static_cast<std::uint8_t>(y),
                                   static_cast<std::uint8_t>(x)}));
                } else if (bits == 16) {
                    EXPECT_EQ(bmp.RawAt(x, y),
                              static_cast<std::uint32_t>((x % 32) << 11 | (y % 64) << 5 | 7));
                } else {
                    EXPECT_EQ(bmp.RawAt(x, y), static_cast<std::uint32_t>((x + 2 * y) % 256));
                    EXPECT_EQ(bmp.Palette.size(), 256u);
                }
            }
        }
    }
}

TEST(BmpWriter, Plain555NeedsNoBitFieldsAnd565CarriesThem) {
    Capture::Picture picture = Gradient(4, 4, 16);
    auto header = Capture::BmpHeader(picture);
    ASSERT_TRUE(header.Ok());
    EXPECT_EQ((*header).size(), 14u + 40u + 12u);
    EXPECT_EQ((*header)[30], 3);  // BI_BITFIELDS

    auto bitmap = Platform::AllocateBitmap(4, 4, 16);
    bitmap.Value().RedMask = 0x7c00;
    bitmap.Value().GreenMask = 0x03e0;
    bitmap.Value().BlueMask = 0x001f;
    const Capture::Picture plain =
        Capture::CreateBitmapPicture(std::move(bitmap.Value()), std::nullopt);
    header = Capture::BmpHeader(plain);
    ASSERT_TRUE(header.Ok());
    EXPECT_EQ((*header).size(), 14u + 40u);
    EXPECT_EQ((*header)[30], 0);  // BI_RGB
}

TEST(BmpWriter, NeverReplacesAnExistingFile) {
    TempDir dir;
    const QString file = dir.File("7-140359-400-300.bmp");
    std::ofstream(file.toStdString()) << "precious";
    for (auto write : {&Capture::WriteNewFile, &Capture::WriteNewFileViaTemporaryName}) {
        const std::uint8_t bytes[] = {1, 2, 3};
        const std::span<const std::uint8_t> parts[] = {bytes};
        const auto failed = write(file, std::span<const std::span<const std::uint8_t>>(parts));
        ASSERT_TRUE(failed);
        EXPECT_EQ(failed->Path, file);
        EXPECT_NE(failed->Reason.indexOf(QStringLiteral("exists")), -1)
            << failed->Reason.toStdString();
        std::ifstream in(file.toStdString());
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "precious");
        EXPECT_EQ(dir.Entries(), 1u);  // no temporary file left behind
    }
}

TEST(BmpWriter, BothRoutesWriteTheWholeFile) {
    TempDir dir;
    std::vector<std::uint8_t> big(3 * 1024 * 1024);
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<std::uint8_t>(i * 31);
    const std::uint8_t head[] = {'B', 'M'};
    const std::span<const std::uint8_t> parts[] = {head, big};
    ASSERT_FALSE(Capture::WriteNewFile(dir.File("a.bmp"), parts));
    ASSERT_FALSE(Capture::WriteNewFileViaTemporaryName(dir.File("b.bmp"), parts));
    for (const char* name : {"a.bmp", "b.bmp"}) {
        std::ifstream in(dir.Path() / name, std::ios::binary);
        const std::vector<char> read((std::istreambuf_iterator<char>(in)), {});
        ASSERT_EQ(read.size(), big.size() + 2) << name;
        EXPECT_EQ(std::memcmp(read.data() + 2, big.data(), big.size()), 0) << name;
        // The usual mode for a new file: readable by others unless the umask says no.
        const mode_t mask = umask(0);
        umask(mask);
        EXPECT_EQ(static_cast<mode_t>(fs::status(dir.Path() / name).permissions()) & 0777,
                  0666 & ~mask)
            << name;
    }
    EXPECT_EQ(dir.Entries(), 2u);
}

TEST(BmpWriter, AMissingDirectoryIsReportedWithItsPath) {
    TempDir dir;
    const QString file = dir.File("gone/1-000000-0-0.bmp");
    const auto failed = Capture::SavePictureAsBmp(Gradient(8, 8, 24), file);
    ASSERT_TRUE(failed);
    EXPECT_EQ(failed->What, "Cannot save the capture");
    EXPECT_EQ(failed->Path, file);
    EXPECT_EQ(failed->Reason, "No such file or directory");
    EXPECT_EQ(dir.Entries(), 0u);
}

TEST(BmpWriter, AFullDiskLeavesNoPartialFile) {
    TempDir dir;
    rlimit original{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &original), 0);
    rlimit small = original;
    small.rlim_cur = 100 * 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const auto viaUnnamed = Capture::SavePictureAsBmp(Gradient(800, 600, 24), dir.File("a.bmp"));
    const std::uint8_t chunk[200 * 1024] = {};
    const std::span<const std::uint8_t> parts[] = {chunk};
    const auto viaNamed = Capture::WriteNewFileViaTemporaryName(dir.File("b.bmp"), parts);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &original), 0);

    // The process is still here: the file-size signal is ignored, so the write failed.
    for (const auto& failed : {viaUnnamed, viaNamed}) {
        ASSERT_TRUE(failed);
        EXPECT_EQ(failed->Reason, "File too large");
    }
    EXPECT_EQ(dir.Entries(), 0u);
}

TEST(BmpWriter, AnUnwritableDirectoryIsReported) {
    if (geteuid() == 0)
        GTEST_SKIP() << "permissions do not bind root";
    TempDir dir;
    fs::permissions(dir.Path(), fs::perms::owner_read | fs::perms::owner_exec);
    const auto failed = Capture::SavePictureAsBmp(Gradient(8, 8, 24), dir.File("x.bmp"));
    ASSERT_TRUE(failed);
    EXPECT_EQ(failed->Reason, "Permission denied");
}

}  // namespace
