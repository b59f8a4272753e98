// Each window as one table: its caption, its client area and its controls (name, kind,
// caption, place in twips, tab index, and whether it is enabled and visible when the window
// opens), in the order in which the window holds them. The Qt and the Win32 front ends
// build their windows from these tables, and the tests of both check the windows against
// them. Twips are 1/1440 inch from the client area's top-left corner: 15 to the pixel at
// 96 dots per inch.
#pragma once

#include <span>
#include <string_view>

namespace KestrelMain {

enum class ControlKind { Button, Label, TextBox, CheckBox, Line };

struct TwipsRect {
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;  // 0 for a line, drawn one pixel thick
};

struct ControlLayout {
    const char* Name;  // as the code and the tests call it: "CaptureBtn"
    ControlKind Kind;
    const char* Caption;  // as shown at creation; empty for text boxes and lines
    TwipsRect Twips;
    int TabIndex;  // the order of the tab stops (labels count too); -1 for a line
    bool Enabled = true;
    bool Visible = true;

    // Labels and lines never take the focus.
    bool TakesFocus() const { return Kind != ControlKind::Label && Kind != ControlKind::Line; }
};

struct WindowLayout {
    const char* Name;
    const char* Caption;
    int ClientWidth;  // twips
    int ClientHeight;
    std::span<const ControlLayout> Controls;

    // The control of that name; the window's tables are fixed, so it exists.
    const ControlLayout& Control(std::string_view name) const {
        for (const ControlLayout& control : Controls) {
            if (name == control.Name)
                return control;
        }
        return Controls.front();
    }
};

inline constexpr ControlLayout MAIN_FORM_CONTROLS[] = {
    {"AboutBtn", ControlKind::Button, "About", {3360, 1440, 855, 495}, 7},
    {"CaptureBtn", ControlKind::Button, "Make Capture Now", {240, 1440, 1815, 495}, 2},
    {"ConfigBtn", ControlKind::Button, "Configure", {2160, 1440, 1095, 495}, 1},
    {"QuitBtn", ControlKind::Button, "Quit", {5280, 1440, 735, 495}, 0},
    {"HotkeyLbl", ControlKind::Label, "Hot Key Disabled", {240, 1080, 5895, 255}, 6},
    {"DirLbl", ControlKind::Label, "No Directory Defined", {480, 360, 5535, 255}, 5},
    {"TotalLbl", ControlKind::Label, "Total captures saved: 0", {240, 720, 2415, 255}, 4},
    {"Label1",
     ControlKind::Label,
     "This program will save screen captures into the directory:",
     {240, 120, 4095, 255},
     3},
};

inline constexpr WindowLayout MAIN_FORM{"MainForm", "Screen Capture Utility", 6270, 2130,
                                        MAIN_FORM_CONTROLS};

inline constexpr ControlLayout CONFIG_DLG_CONTROLS[] = {
    {"HotkeyChk",
     ControlKind::CheckBox,
     "Use Ctrl-F as \"Capture Now\" Hotkey (Change will take effect on next launch)",
     {240, 2520, 5895, 255},
     12},
    {"BasePathText", ControlKind::TextBox, "", {240, 1560, 5775, 285}, 11},
    {"HeightText", ControlKind::TextBox, "", {5280, 2040, 735, 285}, 9},
    {"WidthText", ControlKind::TextBox, "", {3480, 2040, 735, 285}, 8},
    {"PeriodText", ControlKind::TextBox, "", {2640, 600, 855, 285}, 7},
    {"UseTimerChk",
     ControlKind::CheckBox,
     "Make Captures Automatically using Timer",
     {240, 120, 3495, 255},
     4},
    {"CancelBtn", ControlKind::Button, "Cancel", {4920, 600, 1095, 375}, 1},
    {"OKBtn", ControlKind::Button, "OK", {4920, 120, 1095, 375}, 0},
    {"Label5", ControlKind::Label, "Store Captures Here:", {240, 1200, 5295, 255}, 10},
    // From (240, 1080) to (6000, 1080).
    {"Line1", ControlKind::Line, "", {240, 1080, 5760, 0}, -1},
    {"Label4", ControlKind::Label, "Height:", {4680, 2040, 615, 255}, 6},
    {"Label3", ControlKind::Label, "Width:", {2880, 2040, 615, 255}, 5},
    {"Label2", ControlKind::Label, "Save Captures Scaled to:", {240, 2040, 1935, 255}, 3},
    {"Label1", ControlKind::Label, "Period of Captures (in seconds):", {240, 600, 2415, 255}, 2},
};

inline constexpr WindowLayout CONFIG_DLG{"ConfigDlg", "Screen Capture Configuration", 6255, 2895,
                                         CONFIG_DLG_CONTROLS};

inline constexpr ControlLayout ABOUT_DIALOG_CONTROLS[] = {
    {"Command1",
     ControlKind::Button,
     "Visit the Ardmoor Website for More Information",
     {360, 960, 3735, 375},
     1},
    {"OKButton", ControlKind::Button, "OK", {4440, 960, 1215, 375}, 0},
    {"Label1", ControlKind::Label, "Ardmoor Screen Capture Utility v1.0", {240, 240, 5775, 495}, 2},
};

inline constexpr WindowLayout ABOUT_DIALOG{"AboutDialog", "About Screen Capture Utility", 6075,
                                           1620, ABOUT_DIALOG_CONTROLS};

// Where the About window's client area goes: from the primary monitor's top-left corner.
inline constexpr int ABOUT_DIALOG_LEFT = 2760;
inline constexpr int ABOUT_DIALOG_TOP = 3750;

}  // namespace KestrelMain
