// The BMP file on this system's files: read back independently and by Qt's reader, and
// the rules of saving: never over an existing file, never a partial file.
#include "core/Bmp.h"
#include "platform/posix/PosixFileSystem.h"
#include "support/TestPictures.h"
#include "testkit/BmpReader.h"
#include "testkit/ScratchFolder.h"

#include <gtest/gtest.h>

#include <QImage>

#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using TestKit::ReadBmp;
using TestKit::Rgb;
using TestSupport::Gradient;

KestrelMain::Status SavePictureAsBmp(const KestrelMain::Picture& picture, const fs::path& path) {
    Platform::Posix::PosixFileSystem files;
    return KestrelMain::SavePictureAsBmp(picture, path, files);
}

std::size_t Entries(const TestKit::ScratchFolder& dir) {
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()));
}

TEST(BmpWriter, WritesEveryDepthAsCommonReadersExpectIt) {
    TestKit::ScratchFolder dir("kestrel-bmp");
    for (int bits : {24, 16, 8}) {
        for (const auto& [width, height] :
             {std::pair{801, 601}, std::pair{800, 600}, std::pair{1, 1}}) {
            SCOPED_TRACE(std::to_string(bits) + " bits, " + std::to_string(width) + "x" +
                         std::to_string(height));
            const fs::path file =
                dir / (std::to_string(bits) + "-" + std::to_string(width) + ".bmp");
            ASSERT_FALSE(SavePictureAsBmp(Gradient(width, height, bits), file));

            const auto bmp = ReadBmp(file);
            ASSERT_TRUE(bmp.Ok()) << bmp.Error;
            EXPECT_EQ(bmp.Width, width);
            EXPECT_EQ(bmp.Height, height);
            EXPECT_EQ(bmp.BitsPerPixel, bits);
            const QImage qt(QString::fromStdString(file.string()));
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

TEST(BmpWriter, NeverReplacesAnExistingFile) {
    TestKit::ScratchFolder dir("kestrel-bmp");
    const fs::path file = dir / "7-140359-400-300.bmp";
    std::ofstream(file) << "precious";
    for (auto write :
         {&Platform::Posix::WriteNewFile, &Platform::Posix::WriteNewFileViaTemporaryName}) {
        const std::uint8_t bytes[] = {1, 2, 3};
        const std::span<const std::uint8_t> parts[] = {bytes};
        const auto failed = write(file, std::span<const std::span<const std::uint8_t>>(parts));
        ASSERT_TRUE(failed);
        EXPECT_EQ(failed->Path, file.string());
        EXPECT_NE(failed->Reason.find("exists"), std::string::npos) << failed->Reason;
        std::ifstream in(file);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "precious");
        EXPECT_EQ(Entries(dir), 1u);  // no temporary file left behind
    }
}

TEST(BmpWriter, BothRoutesWriteTheWholeFile) {
    TestKit::ScratchFolder dir("kestrel-bmp");
    std::vector<std::uint8_t> big(3 * 1024 * 1024);
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<std::uint8_t>(i * 31);
    const std::uint8_t head[] = {'B', 'M'};
    const std::span<const std::uint8_t> parts[] = {head, big};
    ASSERT_FALSE(Platform::Posix::WriteNewFile(dir / "a.bmp", parts));
    ASSERT_FALSE(Platform::Posix::WriteNewFileViaTemporaryName(dir / "b.bmp", parts));
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
    EXPECT_EQ(Entries(dir), 2u);
}

// A power cut cannot be staged here; what can be checked is the order that makes one
// harmless: the bytes are flushed while the capture has no name yet, and a failed flush
// names nothing.
TEST(BmpWriter, ACaptureIsNamedOnlyOnceItsBytesAreOnTheDisk) {
    using Platform::Posix::FileRoute;
    TestKit::ScratchFolder dir("kestrel-bmp");
    static fs::path target;
    const std::uint8_t bytes[] = {'B', 'M'};
    const std::span<const std::uint8_t> parts[] = {bytes};
    for (const FileRoute route : {FileRoute::Unnamed, FileRoute::TemporaryName}) {
        target = dir / (route == FileRoute::Unnamed ? "a.bmp" : "b.bmp");
        const std::size_t before = Entries(dir);
        const auto failed =
            Platform::Posix::WriteNewFileWith(target, parts, route, [](int) { return EIO; });
        ASSERT_TRUE(failed);
        EXPECT_EQ(failed->Reason, "Input/output error");
        EXPECT_EQ(Entries(dir), before) << "a failed flush left a file behind";

        const auto flushedUnnamed = [](int fd) {
            return fs::exists(target) ? EEXIST : Platform::Posix::FlushToDisk(fd);
        };
        EXPECT_FALSE(Platform::Posix::WriteNewFileWith(target, parts, route, flushedUnnamed));
        EXPECT_TRUE(fs::exists(target));
    }
}

// The running program's saves return before the flush, which its own thread makes while the
// capture still has no name; a failure there is handed over and names nothing.
TEST(BmpWriter, TheProgramsSavesAreFlushedAndNamedOnTheirOwnThread) {
    TestKit::ScratchFolder dir("kestrel-bmp");
    static fs::path target;
    static std::mutex mutex;
    static std::condition_variable changed;
    static bool returned = false;
    static int result = 0;
    const std::uint8_t bytes[] = {'B', 'M'};
    const std::span<const std::uint8_t> parts[] = {bytes};
    const auto flush = [](int fd) {
        std::unique_lock lock(mutex);
        if (!changed.wait_for(lock, std::chrono::seconds(10), [] { return returned; }))
            return ETIMEDOUT;  // the save waited for its own flush
        return fs::exists(target) ? EEXIST
               : result != 0      ? result
                                  : Platform::Posix::FlushToDisk(fd);
    };
    std::vector<KestrelMain::Failure> late;
    Platform::Posix::PosixFileSystem files(
        [&late](const KestrelMain::Failure& failed) { late.push_back(failed); }, flush);
    for (const int flushResult : {EIO, 0}) {
        target = dir / (flushResult != 0 ? "a.bmp" : "b.bmp");
        result = flushResult;
        ASSERT_FALSE(files.SaveNewFile(target, parts));
        {
            const std::lock_guard lock(mutex);
            returned = true;
        }
        changed.notify_all();
        files.WaitForSaves();
        returned = false;
        EXPECT_EQ(fs::exists(target), flushResult == 0);
    }
    ASSERT_EQ(late.size(), 1u);
    EXPECT_EQ(late[0].Path, (dir / "a.bmp").string());
    EXPECT_EQ(late[0].Reason, "Input/output error");
    EXPECT_EQ(Entries(dir), 1u);
}

TEST(BmpWriter, AMissingDirectoryIsReportedWithItsPath) {
    TestKit::ScratchFolder dir("kestrel-bmp");
    const fs::path file = dir / "gone/1-000000-0-0.bmp";
    const auto failed = SavePictureAsBmp(Gradient(8, 8, 24), file);
    ASSERT_TRUE(failed);
    EXPECT_EQ(failed->What, "Cannot save the capture");
    EXPECT_EQ(failed->Path, file.string());
    EXPECT_EQ(failed->Reason, "No such file or directory");
    EXPECT_EQ(Entries(dir), 0u);
}

TEST(BmpWriter, AFullDiskLeavesNoPartialFile) {
    TestKit::ScratchFolder dir("kestrel-bmp");
    rlimit original{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &original), 0);
    rlimit small = original;
    small.rlim_cur = 100 * 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const auto viaUnnamed = SavePictureAsBmp(Gradient(800, 600, 24), dir / "a.bmp");
    const std::uint8_t chunk[200 * 1024] = {};
    const std::span<const std::uint8_t> parts[] = {chunk};
    const auto viaNamed = Platform::Posix::WriteNewFileViaTemporaryName(dir / "b.bmp", parts);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &original), 0);

    // The process is still here: the file-size signal is ignored, so the write failed.
    for (const auto& failed : {viaUnnamed, viaNamed}) {
        ASSERT_TRUE(failed);
        EXPECT_EQ(failed->Reason, "File too large");
    }
    EXPECT_EQ(Entries(dir), 0u);
}

TEST(BmpWriter, AnUnwritableDirectoryIsReported) {
    if (geteuid() == 0)
        GTEST_SKIP() << "permissions do not bind root";
    TestKit::ScratchFolder dir("kestrel-bmp");
    fs::permissions(dir.Path(), fs::perms::owner_read | fs::perms::owner_exec);
    const auto failed = SavePictureAsBmp(Gradient(8, 8, 24), dir / "x.bmp");
    ASSERT_TRUE(failed);
    EXPECT_EQ(failed->Reason, "Permission denied");
}

}  // namespace
