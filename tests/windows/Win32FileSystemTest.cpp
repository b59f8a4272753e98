// Directories and new files on the real (Wine-mapped) file system, with names that have
// spaces and letters beyond ASCII.
#include "Win32TestSupport.h"
#include "core/PathText.h"
#include "platform/win32/Win32FileSystem.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <span>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Platform::Win32::Win32FileSystem;
using Win32Test::ScratchFolder;

// "Captures älter 写真": a space, a Latin letter beyond ASCII, and CJK.
const std::wstring ODD_NAME = L"Captures \u00E4lter \u5199\u771F";

std::vector<std::uint8_t> Contents(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The names in a folder, hidden files included.
std::vector<std::wstring> Names(const fs::path& folder) {
    std::vector<std::wstring> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().wstring());
    std::sort(names.begin(), names.end());
    return names;
}

struct Parts {
    std::vector<std::uint8_t> Header{'B', 'M', 1, 2, 3};
    std::vector<std::uint8_t> Pixels = std::vector<std::uint8_t>(70000, 0x5A);
    std::array<std::span<const std::uint8_t>, 3> Spans{std::span<const std::uint8_t>(Header),
                                                       std::span<const std::uint8_t>(),
                                                       std::span<const std::uint8_t>(Pixels)};
    Seam::FileParts View() const { return Spans; }
    std::vector<std::uint8_t> Joined() const {
        std::vector<std::uint8_t> all = Header;
        all.insert(all.end(), Pixels.begin(), Pixels.end());
        return all;
    }
};

TEST(Win32FileSystem, CreatesExactlyOneDirectoryWithSpacesAndNonAsciiLetters) {
    ScratchFolder folder;
    Win32FileSystem files;
    const fs::path directory = folder.Path() / ODD_NAME;
    EXPECT_EQ(files.CreateOneDirectory(directory), std::nullopt);
    EXPECT_TRUE(files.FolderExists(directory));

    // Once only: the same name again is a failure that names it.
    const auto again = files.CreateOneDirectory(directory);
    ASSERT_TRUE(again.has_value());
    EXPECT_EQ(again->What, "Cannot create the capture directory");
    EXPECT_EQ(again->Path, KestrelMain::PathText(directory));
    EXPECT_FALSE(again->Reason.empty());
}

TEST(Win32FileSystem, CreatesNoParentDirectories) {
    ScratchFolder folder;
    Win32FileSystem files;
    const fs::path parent = folder.Path() / L"missing parent";
    const auto failed = files.CreateOneDirectory(parent / L"child");
    ASSERT_TRUE(failed.has_value());
    EXPECT_EQ(failed->What, "Cannot create the capture directory");
    EXPECT_EQ(failed->Path, KestrelMain::PathText(parent / L"child"));
    EXPECT_FALSE(failed->Reason.empty());
    EXPECT_FALSE(fs::exists(parent));
}

TEST(Win32FileSystem, FolderExistsExactlyForADirectory) {
    ScratchFolder folder;
    Win32FileSystem files;
    const fs::path directory = folder.Path() / ODD_NAME;
    const fs::path file = folder.Path() / (ODD_NAME + L".bmp");
    fs::create_directory(directory);
    std::ofstream(file) << "x";
    const struct {
        fs::path Path;
        bool Exists;
    } cases[] = {
        {directory, true},
        {folder.Path(), true},
        {file, false},
        {folder.Path() / L"missing", false},
        {folder.Path() / L"missing" / L"deeper", false},
        {fs::path(), false},
    };
    for (const auto& c : cases) EXPECT_EQ(files.FolderExists(c.Path), c.Exists) << c.Path.string();
}

TEST(Win32FileSystem, SavesANewFileWholeAndLeavesNoTemporaryBehind) {
    ScratchFolder folder;
    Win32FileSystem files;
    const fs::path directory = folder.Path() / ODD_NAME;
    fs::create_directory(directory);
    const fs::path target = directory / L"1-120000-4-5 \u00FC.bmp";
    const Parts parts;
    EXPECT_EQ(files.SaveNewFile(target, parts.View()), std::nullopt);
    EXPECT_EQ(Contents(target), parts.Joined());
    EXPECT_EQ(Names(directory), std::vector<std::wstring>{target.filename().wstring()});
    // An ordinary file, not the temporary's hidden one.
    const DWORD attributes = GetFileAttributesW(target.c_str());
    EXPECT_EQ(attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_TEMPORARY), 0u);
}

TEST(Win32FileSystem, FailedSavesLeaveNothingBehindAndOverwriteNothing) {
    ScratchFolder folder;
    Win32FileSystem files;
    const fs::path existingFile = folder.Path() / L"taken.bmp";
    std::ofstream(existingFile, std::ios::binary) << "old contents";
    const fs::path existingDirectory = folder.Path() / L"a directory.bmp";
    fs::create_directory(existingDirectory);
    const struct {
        const char* Case;
        fs::path Target;
    } cases[] = {
        {"an existing file", existingFile},
        {"an existing directory", existingDirectory},
        {"a missing directory", folder.Path() / L"missing" / L"1.bmp"},
        {"a name Windows refuses", folder.Path() / L"a<b>.bmp"},
    };
    const Parts parts;
    for (const auto& c : cases) {
        const auto failed = files.SaveNewFile(c.Target, parts.View());
        ASSERT_TRUE(failed.has_value()) << c.Case;
        EXPECT_EQ(failed->What, "Cannot save the capture") << c.Case;
        EXPECT_EQ(failed->Path, KestrelMain::PathText(c.Target)) << c.Case;
        EXPECT_FALSE(failed->Reason.empty()) << c.Case;
        // Nothing but what was there before.
        EXPECT_EQ(Names(folder.Path()),
                  (std::vector<std::wstring>{L"a directory.bmp", L"taken.bmp"}))
            << c.Case;
    }
    EXPECT_EQ(Contents(existingFile), std::vector<std::uint8_t>({'o', 'l', 'd', ' ', 'c', 'o', 'n',
                                                                 't', 'e', 'n', 't', 's'}));
    EXPECT_TRUE(fs::is_empty(existingDirectory));
}

}  // namespace
