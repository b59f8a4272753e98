// The settings store against the real registry of the test's Wine prefix.
#include "common/win32/Win32WideText.h"
#include "core/Settings.h"
#include "platform/win32/Win32SettingsStore.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace {

using Platform::Win32::SETTINGS_SUBKEY;
using Platform::Win32::Win32SettingsStore;

constexpr wchar_t PROGRAM_KEY[] = L"Software\\VB and VBA Program Settings\\Kestrel";

// Each test starts without any stored setting.
class Win32SettingsStoreTest : public testing::Test {
  protected:
    void SetUp() override { RegDeleteTreeW(HKEY_CURRENT_USER, PROGRAM_KEY); }
    void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, PROGRAM_KEY); }

    Win32SettingsStore store;
};

// The value as the registry holds it, read without the store.
std::wstring RawValue(const wchar_t* name, DWORD* type = nullptr) {
    wchar_t buffer[512] = {};
    DWORD bytes = sizeof buffer;
    DWORD kind = 0;
    if (RegGetValueW(HKEY_CURRENT_USER, SETTINGS_SUBKEY, name, RRF_RT_ANY, &kind, buffer, &bytes) !=
        ERROR_SUCCESS) {
        return L"<absent>";
    }
    if (type != nullptr)
        *type = kind;
    return buffer;
}

// Runs a program to its end, as a user's shell would; its exit code.
DWORD RunProgram(std::wstring commandLine) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                        nullptr, nullptr, &startup, &process)) {
        return GetLastError();
    }
    WaitForSingleObject(process.hProcess, 60000);
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

TEST_F(Win32SettingsStoreTest, AllSixKeysRoundTripAsRegSzValues) {
    const struct {
        const char* Key;
        const wchar_t* Name;
        const char* Text;
    } settings[] = {
        {KestrelMain::KEY_BASE_PATH, L"BasePath", "C:\\Captures\\"},
        {KestrelMain::KEY_USE_TIMER, L"UseTimer", "True"},
        {KestrelMain::KEY_TIMER_PERIOD, L"TimerPeriod", "0.5"},
        {KestrelMain::KEY_OUTPUT_WIDTH, L"OutputWidth", "800"},
        {KestrelMain::KEY_OUTPUT_HEIGHT, L"OutputHeight", "600"},
        {KestrelMain::KEY_USE_HOTKEY, L"UseHotkey", "False"},
    };
    for (const auto& s : settings) EXPECT_EQ(store.Write(s.Key, s.Text), std::nullopt) << s.Key;
    for (const auto& s : settings) {
        EXPECT_EQ(store.Read(s.Key, "default"), s.Text) << s.Key;
        DWORD type = 0;
        EXPECT_EQ(RawValue(s.Name, &type), Platform::Win32::WideText(s.Text)) << s.Key;
        EXPECT_EQ(type, static_cast<DWORD>(REG_SZ)) << s.Key;
    }
    // A second write replaces the value.
    EXPECT_EQ(store.Write(KestrelMain::KEY_OUTPUT_WIDTH, "1024"), std::nullopt);
    EXPECT_EQ(store.Read(KestrelMain::KEY_OUTPUT_WIDTH, "800"), "1024");
}

TEST_F(Win32SettingsStoreTest, ValueStoredByTheRegistryToolIsReadAsItIs) {
    ASSERT_EQ(
        RunProgram(L"reg.exe add \"HKCU\\Software\\VB and VBA Program Settings\\Kestrel\\Settings\""
                   L" /v TimerPeriod /t REG_SZ /d \" 2,50 \" /f"),
        0u);
    ASSERT_EQ(
        RunProgram(L"reg.exe add \"HKCU\\Software\\VB and VBA Program Settings\\Kestrel\\Settings\""
                   L" /v BasePath /t REG_SZ /d \"D:\\Alte Bilder\" /f"),
        0u);
    // Not tidied up: what a number's text means is the core's business.
    EXPECT_EQ(store.Read(KestrelMain::KEY_TIMER_PERIOD, "1"), " 2,50 ");
    EXPECT_EQ(store.Read(KestrelMain::KEY_BASE_PATH, "C:\\"), "D:\\Alte Bilder");
}

TEST_F(Win32SettingsStoreTest, AbsentKeyOrValueOrAnotherTypeReadsAsTheDefault) {
    // No key at all.
    EXPECT_EQ(store.Read(KestrelMain::KEY_OUTPUT_WIDTH, "800"), "800");
    // The key, but not the value.
    ASSERT_EQ(store.Write(KestrelMain::KEY_OUTPUT_HEIGHT, "600"), std::nullopt);
    EXPECT_EQ(store.Read(KestrelMain::KEY_OUTPUT_WIDTH, "800"), "800");
    // A number stored as a number, as an administrator's .reg file may: its decimal text.
    // Bytes are no text, so absent for the store.
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, SETTINGS_SUBKEY, 0, KEY_SET_VALUE, &key),
              ERROR_SUCCESS);
    const DWORD number = 1024;
    ASSERT_EQ(RegSetValueExW(key, L"OutputWidth", 0, REG_DWORD,
                             reinterpret_cast<const BYTE*>(&number), sizeof number),
              ERROR_SUCCESS);
    RegSetValueExW(key, L"OutputHeight", 0, REG_BINARY, reinterpret_cast<const BYTE*>(&number),
                   sizeof number);
    RegCloseKey(key);
    EXPECT_EQ(store.Read(KestrelMain::KEY_OUTPUT_WIDTH, "800"), "1024");
    EXPECT_EQ(store.Read(KestrelMain::KEY_OUTPUT_HEIGHT, "600"), "600");
    // An empty text is a value, not an absence.
    ASSERT_EQ(store.Write(KestrelMain::KEY_BASE_PATH, ""), std::nullopt);
    EXPECT_EQ(store.Read(KestrelMain::KEY_BASE_PATH, "C:\\"), "");
}

TEST_F(Win32SettingsStoreTest, NonAsciiTextRoundTripsAsUtf16InTheRegistry) {
    const std::string path =
        "C:\\Users\\J\xC3\xBCrgen\\Bilder \xE5\x86\x99\xE7\x9C\x9F\\";  // Jürgen, 写真
    ASSERT_EQ(store.Write(KestrelMain::KEY_BASE_PATH, path), std::nullopt);
    EXPECT_EQ(store.Read(KestrelMain::KEY_BASE_PATH, "C:\\"), path);
    EXPECT_EQ(RawValue(L"BasePath"), L"C:\\Users\\J\u00FCrgen\\Bilder \u5199\u771F\\");
    // A long value, beyond any first guess at a buffer's size.
    const std::string longText(3000, 'x');
    ASSERT_EQ(store.Write(KestrelMain::KEY_BASE_PATH, longText), std::nullopt);
    EXPECT_EQ(store.Read(KestrelMain::KEY_BASE_PATH, ""), longText);
}

TEST_F(Win32SettingsStoreTest, BatchesWriteThroughAndNestedEndsReportOnce) {
    store.BeginBatch();
    store.BeginBatch();
    EXPECT_EQ(store.Write(KestrelMain::KEY_OUTPUT_WIDTH, "640"), std::nullopt);
    EXPECT_EQ(store.Read(KestrelMain::KEY_OUTPUT_WIDTH, "800"), "640");
    EXPECT_EQ(store.EndBatch(), std::nullopt);
    EXPECT_EQ(store.Write(KestrelMain::KEY_OUTPUT_HEIGHT, "480"), std::nullopt);
    EXPECT_EQ(store.EndBatch(), std::nullopt);
    EXPECT_EQ(RawValue(L"OutputWidth"), L"640");
    EXPECT_EQ(RawValue(L"OutputHeight"), L"480");
    // An end without a beginning is harmless.
    EXPECT_EQ(store.EndBatch(), std::nullopt);
}

TEST_F(Win32SettingsStoreTest, LocationIsTheKeysPath) {
    EXPECT_EQ(store.Location(),
              "HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\Kestrel\\Settings");
}

// A value name longer than the registry allows (16383 characters) cannot be written.
const std::string UNWRITABLE_KEY(20000, 'K');

TEST_F(Win32SettingsStoreTest, AFailedWriteNamesTheKeyAndTheSystemsReason) {
    const auto failed = store.Write(UNWRITABLE_KEY, "1");
    ASSERT_TRUE(failed.has_value());
    EXPECT_EQ(failed->What, "Cannot save the setting " + UNWRITABLE_KEY);
    EXPECT_EQ(failed->Path, store.Location());
    EXPECT_FALSE(failed->Reason.empty());
}

TEST_F(Win32SettingsStoreTest, AFailedWriteInsideABatchIsReportedByItsEnd) {
    KestrelMain::Status ended;
    {
        Seam::SettingsBatch batch(store);
        EXPECT_EQ(store.Write(KestrelMain::KEY_OUTPUT_WIDTH, "640"), std::nullopt);
        EXPECT_EQ(store.Write(UNWRITABLE_KEY, "1"), std::nullopt);
        EXPECT_EQ(store.Write(KestrelMain::KEY_OUTPUT_HEIGHT, "480"), std::nullopt);
        ended = batch.Commit();
    }
    ASSERT_TRUE(ended.has_value());
    EXPECT_EQ(ended->What, "Cannot save the settings");
    EXPECT_FALSE(ended->Reason.empty());
    // Written through: what could be written is there.
    EXPECT_EQ(store.Read(KestrelMain::KEY_OUTPUT_WIDTH, ""), "640");
    EXPECT_EQ(store.Read(KestrelMain::KEY_OUTPUT_HEIGHT, ""), "480");
    // The next batch starts clean.
    store.BeginBatch();
    EXPECT_EQ(store.EndBatch(), std::nullopt);
}

}  // namespace
