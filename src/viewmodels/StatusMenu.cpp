#include "viewmodels/StatusMenu.h"

#include "common/UnicodeText.h"

#include <algorithm>

namespace knokle {
namespace {

// A hand-edited store may hold any count; the row stays readable instead of growing without bound.
constexpr std::int64_t kMaxDots = 32;

MenuItem item(std::string title, MenuAction action, std::string key = "", bool targetsController = true) {
    MenuItem m;
    m.title = std::move(title);
    m.action = action;
    m.keyEquivalent = std::move(key);
    m.targetsController = targetsController;
    return m;
}

MenuItem separator() {
    MenuItem m;
    m.separator = true;
    return m;
}

MenuItem modeRow(const MenuModeRow& mode) {
    MenuItem m = item("", MenuAction::testMode);
    std::string name = std::string(trimmedSpaces(mode.name));
    m.attributedTitle = {
        TextRun{tapCountDots(mode.slapCount), -4.5, 1.0, 1.5},
        TextRun{"   " + (name.empty() ? std::string("Untitled") : name), 0, 0, 0},
    };
    m.representedObject = mode.id;
    return m;
}

} // namespace

std::string MenuItem::displayText() const {
    if (attributedTitle.empty()) return title;
    std::string text;
    for (const auto& run : attributedTitle)
        text += run.text;
    return text;
}

std::string tapCountDots(std::int64_t slapCount) {
    std::int64_t filled = std::clamp<std::int64_t>(slapCount, 0, kMaxDots);
    std::string dots;
    for (std::int64_t i = 0; i < filled; ++i)
        dots += "●";
    for (std::int64_t i = filled; i < 3; ++i)
        dots += "○";
    return dots;
}

std::vector<MenuItem> microphoneChoices(const std::vector<AudioSource>& sources, const std::string& stored) {
    if (sources.empty()) return {};
    std::vector<MenuItem> rows;
    MenuItem heading = item("    Microphone", MenuAction::none);
    heading.enabled = false;
    rows.push_back(heading);
    auto choice = [&](const std::string& title, const std::string& name) {
        MenuItem row = item("        " + title, MenuAction::chooseMicrophone);
        row.choice = name;
        row.checked = name == stored;
        rows.push_back(row);
    };
    choice("Default", "");
    bool storedListed = stored.empty();
    for (const AudioSource& source : sources) {
        if (source.isMonitor && source.name != stored) continue;
        choice(source.description.empty() ? source.name : source.description, source.name);
        storedListed = storedListed || source.name == stored;
    }
    if (!storedListed) choice(stored + " (not connected)", stored);
    return rows;
}

std::vector<MenuItem> populate(const MenuInputs& in) {
    std::vector<MenuItem> menu;
    for (const std::string& note : in.sourceNotes) {
        if (note.empty()) continue;
        MenuItem line = item(note, MenuAction::none, "", false);
        line.enabled = false;
        menu.push_back(line);
    }
    if (!menu.empty()) menu.push_back(separator());
    if (in.sensorMissing) {
        MenuItem missing = item("No motion sensor on this computer", MenuAction::none, "", false);
        missing.enabled = false;
        menu.push_back(missing);
        if (in.microphoneOffered) menu.push_back(item("Listen with the Microphone…", MenuAction::toggleMicrophone));
        menu.push_back(separator());
        menu.push_back(item("Quit Knokle", MenuAction::quit, "q", false));
        return menu;
    }

    if (in.unreadableSensor) {
        // Taps cannot arrive until this is fixed; the rest of the menu still works.
        for (const std::string& line : {"Cannot read the motion sensor (" + *in.unreadableSensor + ")",
                                        std::string("To fix it, install Knokle's udev rule: see \"man knokle\"")}) {
            MenuItem hint = item(line, MenuAction::none, "", false);
            hint.enabled = false;
            menu.push_back(hint);
        }
        menu.push_back(separator());
    }

    MenuItem armed = item(std::string(in.tapsActive ? "Taps Active  (" : "Taps Paused  (") + in.hotkeyDisplay + ")",
                          MenuAction::toggleActive);
    armed.checked = in.tapsActive;
    menu.push_back(armed);
    MenuItem autoPause = item("Auto-pause after each tap", MenuAction::toggleAutoPause);
    autoPause.checked = in.autoPause;
    menu.push_back(autoPause);
    if (in.microphoneOffered) {
        MenuItem microphone = item("Listen with the Microphone", MenuAction::toggleMicrophone);
        microphone.checked = in.microphoneEnabled;
        menu.push_back(microphone);
        if (!in.microphoneNote.empty()) {
            MenuItem note = item("    " + in.microphoneNote, MenuAction::none);
            note.enabled = false;
            menu.push_back(note);
        }
        if (in.microphoneEnabled)
            for (MenuItem& row : microphoneChoices(in.microphones, in.microphoneSource))
                menu.push_back(std::move(row));
    }
    if (in.clickVetoOff) {
        MenuItem note = item("Click veto off in this session", MenuAction::none, "", false);
        note.enabled = false;
        menu.push_back(note);
    }
    menu.push_back(separator());

    std::vector<MenuModeRow> modes = in.modes;
    std::stable_sort(modes.begin(), modes.end(),
                     [](const MenuModeRow& a, const MenuModeRow& b) { return a.slapCount < b.slapCount; });
    for (const auto& mode : modes)
        menu.push_back(modeRow(mode));
    menu.push_back(separator());

    menu.push_back(item("Test Taps", MenuAction::showCalibration, "t"));
    menu.push_back(item("Edit Modes", MenuAction::editModes, "e"));
    MenuItem login = item("Open at Login", MenuAction::toggleOpenAtLogin);
    if (in.loginItemStatus == LoginItemStatus::requiresApproval) {
        login.title = "Open at Login — approve in System Settings";
        login.checked = true;
    } else {
        login.checked = in.loginItemStatus == LoginItemStatus::enabled;
    }
    login.enabled = in.loginItemChangeable;
    menu.push_back(login);
    menu.push_back(separator());
    menu.push_back(item("Quit Knokle", MenuAction::quit, "q", false));
    return menu;
}

} // namespace knokle
