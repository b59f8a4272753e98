// Files and the clock on this system: one directory at a time, the folder test, and the
// local time as the C library gives it.
#include "platform/posix/PosixClock.h"
#include "platform/posix/PosixFileSystem.h"
#include "testkit/ScratchFolder.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <time.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;

class PosixFiles : public ::testing::Test {
  protected:
    TestKit::ScratchFolder scratch_{"kestrel-files"};
    const fs::path dir_ = scratch_.Path();
    Platform::Posix::PosixFileSystem files_;
};

TEST_F(PosixFiles, CreatesExactlyOneDirectory) {
    const fs::path one = dir_ / "KESTREL_01022000_090507";
    ASSERT_FALSE(files_.CreateOneDirectory(one));
    EXPECT_TRUE(fs::is_directory(one));

    const struct {
        fs::path Path;
        const char* Reason;
    } failures[] = {
        {one, "File exists"},                                           // two starts in one second
        {dir_ / "missing" / "KESTREL_x", "No such file or directory"},  // its parent is not made
        {fs::path(), "No such file or directory"},
    };
    for (const auto& f : failures) {
        const auto failed = files_.CreateOneDirectory(f.Path);
        ASSERT_TRUE(failed) << f.Path;
        EXPECT_EQ(failed->What, "Cannot create the capture directory");
        EXPECT_EQ(failed->Path, f.Path.string());
        EXPECT_EQ(failed->Reason, f.Reason);
    }
    EXPECT_FALSE(fs::exists(dir_ / "missing"));
}

TEST_F(PosixFiles, FolderExistsOnlyForDirectories) {
    fs::create_directory(dir_ / "sub");
    std::ofstream(dir_ / "file") << "x";
    fs::create_directory_symlink(dir_ / "sub", dir_ / "link");
    EXPECT_TRUE(files_.FolderExists(dir_));
    EXPECT_TRUE(files_.FolderExists(dir_ / "sub"));
    EXPECT_TRUE(files_.FolderExists(dir_ / "link"));  // symbolic links are followed
    EXPECT_FALSE(files_.FolderExists(dir_ / "file"));
    EXPECT_FALSE(files_.FolderExists(dir_ / "none"));
    EXPECT_FALSE(files_.FolderExists(fs::path()));
}

TEST(PosixClock, ReadsTheLocalTimeOfDay) {
    // Bracketed by two readings of the C library; both agree unless a second passed.
    Platform::Posix::PosixClock clock;
    for (int attempt = 0; attempt < 5; ++attempt) {
        const time_t before = time(nullptr);
        const KestrelMain::LocalDateTime read = clock.ReadLocalTime();
        const time_t after = time(nullptr);
        if (before != after)
            continue;
        struct tm local = {};
        localtime_r(&before, &local);
        EXPECT_EQ(read,
                  (KestrelMain::LocalDateTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                                              local.tm_hour, local.tm_min, local.tm_sec}));
        return;
    }
    FAIL() << "the clock never stood still for one reading";
}

}  // namespace
