// kestrel.exe's configuration dialog as a user meets it under Wine: opened from Configure
// with the current settings, laid out in twips, walked with Tab; OK rejects a bad entry
// with its message and changes nothing, or stores only what changed and applies it at
// once; Cancel puts the settings back; a new base directory starts a capture directory.
#include "KestrelExeSupport.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <regex>
#include <string>
#include <vector>

namespace {

using namespace Win32Test;

constexpr wchar_t CONFIG_CAPTION[] = L"Screen Capture Configuration";
constexpr wchar_t HOTKEY_CAPTION[] =
    L"Use Ctrl-F as \"Capture Now\" Hotkey (Change will take effect on next launch)";
constexpr const wchar_t* SETTING_NAMES[] = {L"BasePath",    L"UseTimer",     L"TimerPeriod",
                                            L"OutputWidth", L"OutputHeight", L"UseHotkey"};
// A message box's text control, as the system's message box template numbers it.
constexpr int MESSAGE_TEXT_ID = 0xFFFF;

// The control of that name in a window drawn from that table.
HWND ControlNamed(HWND window, const KestrelMain::WindowLayout& layout, const char* name) {
    return ControlOf(window, layout.Control(name));
}

std::map<std::wstring, std::wstring> AllStored() {
    std::map<std::wstring, std::wstring> stored;
    for (const wchar_t* name : SETTING_NAMES) stored[name] = StoredText(name);
    return stored;
}

void SetText(HWND control, const std::wstring& text) {
    SendMessageTimeoutW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                        SMTO_ABORTIFHUNG, 5000, nullptr);
}

bool Checked(HWND box) {
    DWORD_PTR state = 0;
    SendMessageTimeoutW(box, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 5000, &state);
    return state == BST_CHECKED;
}

void Click(HWND button) {
    PostMessageW(button, BM_CLICK, 0, 0);
}

// Clicks and returns once the program has handled the click.
void ClickAndWait(HWND button) {
    SendMessageTimeoutW(button, BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, 10000, nullptr);
}

// Types the text as key presses of its characters.
void Type(const std::wstring& text) {
    std::vector<INPUT> inputs;
    for (wchar_t c : text) {
        for (DWORD flags : {DWORD{KEYEVENTF_UNICODE}, DWORD{KEYEVENTF_UNICODE | KEYEVENTF_KEYUP}}) {
            INPUT input{};
            input.type = INPUT_KEYBOARD;
            input.ki.wScan = c;
            input.ki.dwFlags = flags;
            inputs.push_back(input);
        }
    }
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

// The message box over the dialog, owned by it, once shown; or null.
HWND WaitForMessageBox(HWND dialog) {
    HWND found = nullptr;
    WaitUntil([&] {
        for (HWND box = FindWindowExW(nullptr, nullptr, L"#32770", L"Kestrel"); box != nullptr;
             box = FindWindowExW(nullptr, box, L"#32770", L"Kestrel")) {
            if (GetWindow(box, GW_OWNER) == dialog && IsWindowVisible(box)) {
                found = box;
                return true;
            }
        }
        return false;
    });
    return found;
}

std::vector<std::wstring> ButtonsOf(HWND box) {
    std::vector<std::wstring> buttons;
    for (HWND child = FindWindowExW(box, nullptr, L"Button", nullptr); child != nullptr;
         child = FindWindowExW(box, child, L"Button", nullptr)) {
        if (IsWindowVisible(child))
            buttons.push_back(Text(child));
    }
    return buttons;
}

// The program's top-level windows with that caption, shown or hidden.
int WindowsCaptioned(const KestrelExe& kestrel, const wchar_t* caption) {
    int count = 0;
    for (HWND window = FindWindowExW(nullptr, nullptr, nullptr, caption); window != nullptr;
         window = FindWindowExW(nullptr, window, nullptr, caption)) {
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        count += process == kestrel.ProcessId() ? 1 : 0;
    }
    return count;
}

// The width recorded in a BMP file's header, or 0.
std::int32_t BmpWidth(const std::filesystem::path& file) {
    std::array<unsigned char, 26> header{};
    std::ifstream stream(file, std::ios::binary);
    stream.read(reinterpret_cast<char*>(header.data()), header.size());
    return stream ? LittleEndian32(header, 18) : 0;
}

// The dialog's controls, found by caption or by place.
struct Dialog {
    HWND window = nullptr;
    HWND OKBtn = nullptr;
    HWND CancelBtn = nullptr;
    HWND UseTimerChk = nullptr;
    HWND HotkeyChk = nullptr;
    HWND PeriodText = nullptr;
    HWND WidthText = nullptr;
    HWND HeightText = nullptr;
    HWND BasePathText = nullptr;
    HWND Label1 = nullptr;

    explicit Dialog(HWND dialog) : window(dialog) {
        if (dialog == nullptr)
            return;
        OKBtn = Child(dialog, L"Button", L"OK");
        CancelBtn = Child(dialog, L"Button", L"Cancel");
        UseTimerChk = Child(dialog, L"Button", L"Make Captures Automatically using Timer");
        HotkeyChk = Child(dialog, L"Button", HOTKEY_CAPTION);
        PeriodText = ControlNamed(dialog, KestrelMain::CONFIG_DLG, "PeriodText");
        WidthText = ControlNamed(dialog, KestrelMain::CONFIG_DLG, "WidthText");
        HeightText = ControlNamed(dialog, KestrelMain::CONFIG_DLG, "HeightText");
        BasePathText = ControlNamed(dialog, KestrelMain::CONFIG_DLG, "BasePathText");
        Label1 = Child(dialog, L"Static", L"Period of Captures (in seconds):");
    }

    bool Complete() const { return Missing().empty(); }

    // The controls that were not found, by name.
    std::string Missing() const {
        if (window == nullptr)
            return "the dialog itself";
        std::string missing;
        const std::pair<HWND, const char*> controls[] = {{OKBtn, "OKBtn"},
                                                         {CancelBtn, "CancelBtn"},
                                                         {UseTimerChk, "UseTimerChk"},
                                                         {HotkeyChk, "HotkeyChk"},
                                                         {PeriodText, "PeriodText"},
                                                         {WidthText, "WidthText"},
                                                         {HeightText, "HeightText"},
                                                         {BasePathText, "BasePathText"},
                                                         {Label1, "Label1"}};
        for (const auto& [handle, name] : controls) {
            if (handle == nullptr)
                missing += std::string(missing.empty() ? "" : ", ") + name;
        }
        return missing;
    }

    // The four texts, in the order of the tab stops.
    std::vector<std::wstring> Texts() const {
        return {Text(PeriodText), Text(WidthText), Text(HeightText), Text(BasePathText)};
    }
};

class KestrelExeConfigTest : public KestrelExeTestBase {
  protected:
    // Only the test's base directory stored, as at the start of the test.
    void StoreOnlyTheBasePath() {
        RegDeleteTreeW(HKEY_CURRENT_USER, PROGRAM_KEY);
        Store(L"BasePath", basePath_);
    }

    // Starts kestrel.exe with what is stored; true once its main window is up.
    bool Start() {
        kestrel_ = std::make_unique<KestrelExe>();
        main_ = kestrel_->Started() ? kestrel_->WaitForWindow() : nullptr;
        return main_ != nullptr;
    }

    // Clicks Configure and waits for the dialog to be on screen.
    Dialog Configure() {
        Click(Child(main_, L"Button", L"Configure"));
        return Dialog(kestrel_->WaitForWindow(CONFIG_CAPTION));
    }

    // Starts kestrel.exe and opens the dialog.
    Dialog StartAndConfigure() {
        if (!Start())
            return Dialog(nullptr);
        return Configure();
    }

    HWND TotalLbl() const { return ControlNamed(main_, KestrelMain::MAIN_FORM, "TotalLbl"); }
    HWND HotkeyLbl() const { return ControlNamed(main_, KestrelMain::MAIN_FORM, "HotkeyLbl"); }
    HWND DirLbl() const { return ControlNamed(main_, KestrelMain::MAIN_FORM, "DirLbl"); }

    bool WaitForTotal(int count) const {
        const std::wstring text = L"Total captures saved: " + std::to_wstring(count);
        return WaitUntil([&] { return Text(TotalLbl()) == text; }, std::chrono::seconds(30));
    }

    // Quits from the main window; true when the program ended with status 0.
    bool Quit() {
        Click(Child(main_, L"Button", L"Quit"));
        return kestrel_->EndsWithStatusZero();
    }

    std::unique_ptr<KestrelExe> kestrel_;
    HWND main_ = nullptr;
};

TEST_F(KestrelExeConfigTest, OpensFromConfigureShowingTheCurrentSettings) {
    const struct {
        const wchar_t* UseTimer;
        const wchar_t* TimerPeriod;
        const wchar_t* OutputWidth;
        const wchar_t* OutputHeight;
        const wchar_t* UseHotkey;
        const wchar_t* DecimalSeparator;  // the user's
        const wchar_t* PeriodShown;
    } cases[] = {
        {L"1", L"0.5", L"640", L"480", L"0", L".", L"0.5"},
        {L"0", L"2.5", L"1024", L"768", L"1", L",", L"2,5"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "UseTimer " << c.UseTimer);
        RegSetKeyValueW(HKEY_CURRENT_USER, USER_LOCALE, L"sDecimal", REG_SZ, c.DecimalSeparator, 4);
        Store(L"UseTimer", c.UseTimer);
        Store(L"TimerPeriod", c.TimerPeriod);
        Store(L"OutputWidth", c.OutputWidth);
        Store(L"OutputHeight", c.OutputHeight);
        Store(L"UseHotkey", c.UseHotkey);
        const Dialog dialog = StartAndConfigure();
        ASSERT_TRUE(dialog.Complete()) << dialog.Missing();

        EXPECT_EQ(dialog.Texts(), (std::vector<std::wstring>{c.PeriodShown, c.OutputWidth,
                                                             c.OutputHeight, basePath_}));
        const bool timer = std::wstring(c.UseTimer) == L"1";
        EXPECT_EQ(Checked(dialog.UseTimerChk), timer);
        EXPECT_EQ(Checked(dialog.HotkeyChk), std::wstring(c.UseHotkey) == L"1");
        // The period and its label are enabled with the timer.
        EXPECT_EQ(IsWindowEnabled(dialog.PeriodText) != FALSE, timer);
        EXPECT_EQ(IsWindowEnabled(dialog.Label1) != FALSE, timer);

        // Ticking the box enables them at once, and clearing it disables them.
        Click(dialog.UseTimerChk);
        EXPECT_TRUE(WaitUntil([&] {
            return (IsWindowEnabled(dialog.PeriodText) != FALSE) == !timer &&
                   (IsWindowEnabled(dialog.Label1) != FALSE) == !timer;
        }));
        EXPECT_TRUE(Quit());
    }
}

TEST_F(KestrelExeConfigTest, IsLaidOutInTwipsUnownedWithTheFocusOnOK) {
    const Dialog dialog = StartAndConfigure();
    ASSERT_TRUE(dialog.Complete()) << dialog.Missing();

    RECT client{};
    GetClientRect(dialog.window, &client);
    EXPECT_EQ(client.right, 417);
    EXPECT_EQ(client.bottom, 193);
    const LONG style = GetWindowLongW(dialog.window, GWL_STYLE);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_FALSE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_FALSE(style & WS_THICKFRAME);
    EXPECT_EQ(GetWindow(dialog.window, GW_OWNER), nullptr);
    EXPECT_TRUE(GetWindowLongW(dialog.window, GWL_EXSTYLE) & WS_EX_APPWINDOW);

    // The text boxes show the current settings.
    ExpectLaidOutAsTable(dialog.window, KestrelMain::CONFIG_DLG,
                         {"BasePathText", "HeightText", "WidthText", "PeriodText"});
    // Line1, from (240, 1080) to (6000, 1080): one pixel high.
    HWND line = ControlNamed(dialog.window, KestrelMain::CONFIG_DLG, "Line1");
    ASSERT_NE(line, nullptr) << "no rule at (16, 72)";
    const RECT rule = PlaceIn(dialog.window, line);
    EXPECT_EQ(rule.right, 6000 / 15);
    EXPECT_EQ(rule.bottom - rule.top, 1);

    EXPECT_TRUE(WaitUntil([&] { return kestrel_->Focused() == dialog.OKBtn; }))
        << "the focus is on \"" << testing::PrintToString(Text(kestrel_->Focused())) << "\"";
}

TEST_F(KestrelExeConfigTest, TabWalksTheControlsFromOK) {
    Store(L"UseTimer", L"1");  // the period box takes the focus only while enabled
    const Dialog dialog = StartAndConfigure();
    ASSERT_TRUE(dialog.Complete()) << dialog.Missing();
    ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == dialog.window; }))
        << "the dialog did not come to the foreground";
    ASSERT_TRUE(WaitUntil([&] { return kestrel_->Focused() == dialog.OKBtn; }));

    const HWND order[] = {dialog.CancelBtn, dialog.UseTimerChk, dialog.PeriodText,
                          dialog.WidthText, dialog.HeightText,  dialog.BasePathText,
                          dialog.HotkeyChk, dialog.OKBtn};
    for (HWND next : order) {
        Press({VK_TAB});
        EXPECT_TRUE(WaitUntil([&] { return kestrel_->Focused() == next; }))
            << "expected " << testing::PrintToString(Text(next)) << ", focus on "
            << testing::PrintToString(Text(kestrel_->Focused()));
    }
    Press({VK_SHIFT, VK_TAB});
    EXPECT_TRUE(WaitUntil([&] { return kestrel_->Focused() == dialog.HotkeyChk; }));
}

TEST_F(KestrelExeConfigTest, ARejectedEntryShowsTheFirstMessageOnlyAndChangesNothing) {
    Store(L"TimerPeriod", L"2");
    const Dialog dialog = StartAndConfigure();
    ASSERT_TRUE(dialog.Complete()) << dialog.Missing();
    const std::map<std::wstring, std::wstring> stored = AllStored();
    const std::wstring dirShown = Text(DirLbl());
    const std::wstring missing = (base_.Path() / L"missing").wstring();

    const struct {
        std::wstring Width, Height, Period, BasePath;
        const wchar_t* Message;
    } cases[] = {
        {L"abc", L"600", L"0", basePath_, L"Invalid Width.  Please specify an integer."},
        {L"", L"x", L"y", missing, L"Invalid Width.  Please specify an integer."},
        {L"640", L"x", L"y", missing, L"Invalid Height.  Please specify an integer."},
        {L"640", L"480", L"abc", missing, L"Invalid Period.  Please specify a number."},
        {L"640", L"480", L"0", missing, L"Period must be a positive, non-zero number."},
        {L"640", L"480", L"-1", basePath_, L"Period must be a positive, non-zero number."},
        {L"640", L"480", L"0.5", missing,
         L"Invalid Capture Directory.  Please double check and try again."},
        // The directory is tested also when it is the current one.
        {L"800", L"600", L"2", basePath_ + L"gone\\",
         L"Invalid Capture Directory.  Please double check and try again."},
        // Passes the five checks but does not fit a 16-bit size.
        {L"40000", L"480", L"0.5", basePath_,
         L"Invalid Width.  Please specify an integer between -32768 and 32767."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << testing::PrintToString(c.Message));
        const std::vector<std::wstring> typed{c.Period, c.Width, c.Height, c.BasePath};
        SetText(dialog.PeriodText, c.Period);
        SetText(dialog.WidthText, c.Width);
        SetText(dialog.HeightText, c.Height);
        SetText(dialog.BasePathText, c.BasePath);
        Click(dialog.UseTimerChk);  // a change that OK would apply
        Click(dialog.OKBtn);

        HWND box = WaitForMessageBox(dialog.window);
        ASSERT_NE(box, nullptr) << "no message box over the dialog";
        EXPECT_EQ(Text(GetDlgItem(box, MESSAGE_TEXT_ID)), c.Message);
        EXPECT_EQ(ButtonsOf(box), std::vector<std::wstring>{L"OK"});
        // The dialog waits for the message; the main window does not.
        EXPECT_TRUE(WaitUntil([&] { return !IsWindowEnabled(dialog.window); }));
        EXPECT_TRUE(IsWindowEnabled(main_));
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        ASSERT_TRUE(WaitUntil([&] { return !IsWindow(box); }));

        EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(dialog.window) != FALSE; }));
        EXPECT_TRUE(IsWindowVisible(dialog.window));
        EXPECT_EQ(dialog.Texts(), typed);
        EXPECT_EQ(AllStored(), stored);
        EXPECT_EQ(Text(DirLbl()), dirShown);
        EXPECT_EQ(Entries(base_.Path()).size(), 1u);
    }
    EXPECT_EQ(Text(HotkeyLbl()), L"Hot Key is Disabled");
    EXPECT_TRUE(Quit());
}

TEST_F(KestrelExeConfigTest, OkStoresOnlyWhatChangedAndAppliesItAtOnce) {
    const wchar_t* const timerOn = L"Make Captures Automatically using Timer";
    const struct {
        const char* Name;
        const wchar_t* UseHotkeyAtStart;
        std::function<void(const Dialog&)> Edit;
        std::map<std::wstring, std::wstring> Written;
        const wchar_t* HotkeyCaption;
    } cases[] = {
        {"size, period and timer",
         L"0",
         [](const Dialog& dialog) {
             SetText(dialog.WidthText, L"640.5");  // a tie goes to the even neighbour
             SetText(dialog.PeriodText, L"0.25");
             Click(dialog.UseTimerChk);
         },
         {{L"OutputWidth", L"640"}, {L"TimerPeriod", L"0.25"}, {L"UseTimer", L"1"}},
         L"Hot Key is Disabled"},
        {"a width that differs in its fraction only",
         L"0",
         [](const Dialog& dialog) {
             SetText(dialog.WidthText, L"800.4");
             SetText(dialog.PeriodText, L"2.0");  // the same period: not stored
         },
         {{L"OutputWidth", L"800"}},
         L"Hot Key is Disabled"},
        {"hot key wanted",
         L"0",
         [](const Dialog& dialog) { Click(dialog.HotkeyChk); },
         {{L"UseHotkey", L"1"}},
         L"Hot key is disabled.  Will be enabled on next launch."},
        {"hot key no longer wanted",
         L"1",
         [](const Dialog& dialog) { Click(dialog.HotkeyChk); },
         {{L"UseHotkey", L"0"}},
         L"Ctrl-F is the Hot Key.  Hot key will be disabled on next launch."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        StoreOnlyTheBasePath();
        Store(L"UseHotkey", c.UseHotkeyAtStart);
        const Dialog dialog = StartAndConfigure();
        ASSERT_TRUE(dialog.Complete()) << dialog.Missing();
        ASSERT_NE(Child(dialog.window, L"Button", timerOn), nullptr);

        // Each value now in a form of its own that means the same: only a value that is
        // written again can lose it.
        std::map<std::wstring, std::wstring> expected{
            {L"BasePath", base_.Path().generic_wstring() + L"/"},
            {L"UseTimer", L"0.0"},
            {L"TimerPeriod", L"2.00"},
            {L"OutputWidth", L"800.0"},
            {L"OutputHeight", L"600.0"},
            {L"UseHotkey", std::wstring(c.UseHotkeyAtStart) + L".0"},
        };
        for (const auto& [name, text] : expected) Store(name.c_str(), text);
        for (const auto& [name, text] : c.Written) expected[name] = text;
        const auto captureDirs = Entries(base_.Path()).size();

        c.Edit(dialog);
        Click(dialog.OKBtn);
        ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(dialog.window); }))
            << "the dialog stayed open";
        EXPECT_EQ(AllStored(), expected);
        EXPECT_EQ(Text(HotkeyLbl()), c.HotkeyCaption);
        EXPECT_EQ(Entries(base_.Path()).size(), captureDirs)
            << "a new capture directory was started";

        if (c.Written.contains(L"UseTimer")) {
            // Timer1 runs at the new period and the captures have the new width.
            EXPECT_TRUE(WaitForTotal(2)) << Text(TotalLbl());
            const std::wstring dirShown = Text(DirLbl());
            // The first capture, complete under its name while later ones are written.
            std::filesystem::path first;
            for (const auto& file : Entries(dirShown)) {
                if (file.filename().wstring().starts_with(L"1-"))
                    first = file;
            }
            ASSERT_FALSE(first.empty());
            EXPECT_EQ(BmpWidth(first), 640);
        }
        EXPECT_TRUE(Quit());
    }
}

TEST_F(KestrelExeConfigTest, ANewPeriodReprogramsARunningTimer) {
    Store(L"UseTimer", L"1");
    Store(L"TimerPeriod", L"3600");
    const Dialog dialog = StartAndConfigure();
    ASSERT_TRUE(dialog.Complete()) << dialog.Missing();
    SetText(dialog.PeriodText, L"0.2");
    Click(dialog.OKBtn);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(dialog.window); }));
    EXPECT_EQ(StoredText(L"TimerPeriod"), L"0.2");
    // An hour's interval would make none of these within the deadline.
    EXPECT_TRUE(WaitForTotal(3)) << Text(TotalLbl());
    EXPECT_TRUE(Quit());
}

TEST_F(KestrelExeConfigTest, CancelPutsTheCurrentSettingsBackAndStoresNothing) {
    Store(L"UseTimer", L"1");
    Store(L"TimerPeriod", L"30");
    const Dialog dialog = StartAndConfigure();
    ASSERT_TRUE(dialog.Complete()) << dialog.Missing();
    const std::vector<std::wstring> current = dialog.Texts();
    const std::map<std::wstring, std::wstring> stored = AllStored();

    SetText(dialog.PeriodText, L"0.1");
    SetText(dialog.WidthText, L"320");
    SetText(dialog.HeightText, L"abc");
    SetText(dialog.BasePathText, L"C:\\");
    Click(dialog.UseTimerChk);
    Click(dialog.HotkeyChk);
    ASSERT_TRUE(WaitUntil([&] { return Checked(dialog.HotkeyChk); }));
    Click(dialog.CancelBtn);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(dialog.window); }));

    EXPECT_EQ(AllStored(), stored);
    EXPECT_EQ(Text(HotkeyLbl()), L"Hot Key is Disabled");
    EXPECT_EQ(Entries(base_.Path()).size(), 1u);

    // Shown again, the same dialog holds the current settings.
    EXPECT_EQ(Configure().window, dialog.window);
    EXPECT_EQ(dialog.Texts(), current);
    EXPECT_TRUE(Checked(dialog.UseTimerChk));
    EXPECT_FALSE(Checked(dialog.HotkeyChk));
    EXPECT_TRUE(IsWindowEnabled(dialog.PeriodText));
    EXPECT_TRUE(Quit());
}

TEST_F(KestrelExeConfigTest, OneDialogKeptAsLeftUntilClosedFromItsTitleBar) {
    const Dialog dialog = StartAndConfigure();
    ASSERT_TRUE(dialog.Complete()) << dialog.Missing();

    // Configure while it is open: the same one dialog, unchanged, in front.
    SetText(dialog.HeightText, L"123");
    ClickAndWait(Child(main_, L"Button", L"Configure"));
    EXPECT_TRUE(WaitUntil([&] { return GetForegroundWindow() == dialog.window; }));
    EXPECT_EQ(WindowsCaptioned(*kestrel_, CONFIG_CAPTION), 1);
    EXPECT_EQ(Text(dialog.HeightText), L"123");

    // Hidden by OK, shown again with the texts as typed.
    SetText(dialog.WidthText, L"800.4");
    SetText(dialog.HeightText, L"600");
    Click(dialog.OKBtn);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(dialog.window); }));
    EXPECT_EQ(Configure().window, dialog.window);
    EXPECT_EQ(Text(dialog.WidthText), L"800.4");
    EXPECT_EQ(WindowsCaptioned(*kestrel_, CONFIG_CAPTION), 1);

    // Closed from its title bar: gone with what was typed, nothing stored.
    const std::map<std::wstring, std::wstring> stored = AllStored();
    SetText(dialog.WidthText, L"320");
    PostMessageW(dialog.window, WM_SYSCOMMAND, SC_CLOSE, 0);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(dialog.window); }));
    EXPECT_EQ(AllStored(), stored);
    EXPECT_TRUE(IsWindowVisible(main_));

    // The next Configure makes it anew from the current settings.
    const Dialog again = Configure();
    ASSERT_TRUE(again.Complete()) << again.Missing();
    EXPECT_EQ(Text(again.WidthText), L"800");
    EXPECT_EQ(WindowsCaptioned(*kestrel_, CONFIG_CAPTION), 1);
    EXPECT_TRUE(WaitUntil([&] { return kestrel_->Focused() == again.OKBtn; }));
    EXPECT_TRUE(Quit());
}

TEST_F(KestrelExeConfigTest, ANewBaseDirectoryGetsItsBackslashAndTheNextCapture) {
    const wchar_t* const folders[] = {L"shots", L"Écrans d'été ü ñ 日本 (2)"};
    for (const wchar_t* folder : folders) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(folder)));
        const std::filesystem::path newBase = base_.Path() / folder;
        ASSERT_TRUE(std::filesystem::create_directory(newBase));
        ASSERT_TRUE(Start());
        Click(Child(main_, L"Button", L"Make Capture Now"));
        ASSERT_TRUE(WaitForTotal(1));
        const Dialog dialog = Configure();
        ASSERT_TRUE(dialog.Complete()) << dialog.Missing();

        // Typed as a user would: Tab from OK to the base directory, which selects its text.
        ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == dialog.window; }));
        ASSERT_TRUE(WaitUntil([&] { return kestrel_->Focused() == dialog.OKBtn; }));
        for (int tab = 0; tab < 5; ++tab) Press({VK_TAB});  // the period box is disabled
        ASSERT_TRUE(WaitUntil([&] { return kestrel_->Focused() == dialog.BasePathText; }));
        Type(newBase.wstring());
        ASSERT_TRUE(WaitUntil([&] { return Text(dialog.BasePathText) == newBase.wstring(); }))
            << testing::PrintToString(Text(dialog.BasePathText));
        Click(dialog.OKBtn);
        ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(dialog.window); }));

        const std::wstring stored = newBase.wstring() + L"\\";
        EXPECT_EQ(Text(dialog.BasePathText), stored);
        EXPECT_EQ(StoredText(L"BasePath"), stored);
        const auto dirs = Entries(newBase);
        ASSERT_EQ(dirs.size(), 1u);
        const std::wstring name = dirs[0].filename().wstring();
        EXPECT_TRUE(std::regex_match(name, std::wregex(L"KESTREL_[0-9]{8}_[0-9]{6}"))) << name;
        EXPECT_EQ(Text(DirLbl()), stored + name);

        // The count goes on in the new directory.
        Click(Child(main_, L"Button", L"Make Capture Now"));
        ASSERT_TRUE(WaitForTotal(2));
        const auto files = Entries(dirs[0]);
        ASSERT_EQ(files.size(), 1u);
        EXPECT_TRUE(files[0].filename().wstring().starts_with(L"2-"))
            << testing::PrintToString(files[0].filename().wstring());
        EXPECT_TRUE(Quit());
        StoreOnlyTheBasePath();
    }
}

}  // namespace
