#include "platform/wayland/WaylandSwayHotKey.h"

#include "core/AppId.h"
#include "core/FailureTexts.h"
#include "core/seam/Services.h"

#include <algorithm>
#include <cctype>
#include <sstream>
#include <vector>

namespace Platform::Wayland {

using KestrelMain::Status;

std::string CaptureActionCommand() {
    return std::string("gdbus call --session --dest ") + KestrelMain::APP_ID + " --object-path " +
           KestrelMain::APP_OBJECT_PATH +
           " --method org.freedesktop.Application.ActivateAction capture \"[]\" \"{}\"";
}

namespace {

KestrelMain::Failure Taken(std::string reason) {
    return KestrelMain::Failure{KestrelMain::CANNOT_REGISTER_HOT_KEY, {}, std::move(reason)};
}

// "Control+F", "f+ctrl": the keys of a combination, lower case, in one order.
std::vector<std::string> KeysOf(std::string combination) {
    std::transform(combination.begin(), combination.end(), combination.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    std::vector<std::string> keys;
    std::stringstream parts(combination);
    for (std::string key; std::getline(parts, key, '+');)
        keys.push_back(key == "control" ? "ctrl" : key);
    std::sort(keys.begin(), keys.end());
    return keys;
}

}  // namespace

bool ConfigBindsCtrlF(const std::string& config) {
    const std::vector<std::string> ctrlF{"ctrl", "f"};
    std::istringstream lines(config);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line);
        std::string word;
        if (!(words >> word) || word != "bindsym")
            continue;
        while (words >> word && word.starts_with("--")) {
        }
        if (KeysOf(word) == ctrlF)
            return true;
    }
    return false;
}

Status WaylandSwayHotKey::Register(Seam::HotKeyAnswers&) {
    if (whyNoAction_)
        return Taken("Ctrl+F would run a capture action this program does not offer (" +
                     *whyNoAction_ + ")");
    auto config = ipc_.Config();
    if (!config)
        return Taken(config.Error().Text());
    if (ConfigBindsCtrlF(*config))
        return Taken("sway's configuration already binds it");
    if (auto refused =
            ipc_.Run(std::string("bindsym --no-repeat Ctrl+f exec ") + CaptureActionCommand()))
        return Taken(refused->Text());
    bound_ = true;
    if (Seam::ErrorReport* report = Seam::Installed().Errors)
        report->Note("Wayland: Ctrl+F bound in sway for this run, to the capture action");
    return std::nullopt;
}

void WaylandSwayHotKey::Unregister() {
    if (!bound_)
        return;
    // At the end nothing waits on a failure: sway itself may be going.
    (void)ipc_.Run("unbindsym Ctrl+f");
    bound_ = false;
}

}  // namespace Platform::Wayland
