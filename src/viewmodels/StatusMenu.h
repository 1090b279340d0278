#pragma once

#include "modes/SlapMode.h"
#include "platform/AudioCapture.h"
#include "platform/LoginItem.h"

#include <optional>
#include <string>
#include <vector>

namespace knokle {

enum class MenuAction {
    none,
    toggleActive,
    toggleAutoPause,
    testMode,
    showCalibration,
    editModes,
    toggleOpenAtLogin,
    quit,
    toggleMicrophone,
    chooseMicrophone // the row's choice names the source
};

// One run of an attributed title. Sizes are relative to the menu font's default point size.
struct TextRun {
    std::string text;
    double fontSizeDelta = 0;
    double baselineOffset = 0;
    double kerning = 0;
    bool operator==(const TextRun&) const = default;
};

struct MenuItem {
    bool separator = false;
    std::string title;                    // plain title (empty for a mode row)
    std::vector<TextRun> attributedTitle; // only mode rows have one
    bool enabled = true;
    bool checked = false;
    MenuAction action = MenuAction::none;
    std::string keyEquivalent;
    std::optional<Uuid> representedObject;
    bool targetsController = false; // false: reaches the controller as the application's delegate
    std::string choice;             // what a choice row picks (a microphone's name; empty: the default one)

    // The text a plain menu shows: the plain title, else the runs joined.
    std::string displayText() const;
};

struct MenuModeRow {
    Uuid id;
    std::string name;
    std::int64_t slapCount = 0;
};

// Everything the menu shows, read at the moment it is built.
struct MenuInputs {
    bool sensorMissing = false;
    // The sensor's device when it is there but this user may not read it (the user left Knokle running).
    std::optional<std::string> unreadableSensor;
    bool tapsActive = false;
    bool autoPause = true;
    std::string hotkeyDisplay;
    bool clickVetoOff = false; // the session offers no desktop-wide clicks to veto taps with
    std::vector<MenuModeRow> modes;
    LoginItemStatus loginItemStatus = LoginItemStatus::notRegistered;
    bool loginItemChangeable = false;
    // Listening with the microphone: offered where the program can listen; the note says how it is going.
    bool microphoneOffered = false;
    bool microphoneEnabled = false;
    std::string microphoneNote;
    // The microphones to pick from (none: no choice is shown) and the stored one (empty: the default).
    std::vector<AudioSource> microphones;
    std::string microphoneSource;
    // Lines about the tap source shown first, greyed out (which accelerometer, its rate, how to raise it).
    std::vector<std::string> sourceNotes;
};

// The status menu's complete content, top to bottom.
std::vector<MenuItem> populate(const MenuInputs& inputs);

// The rows that pick the microphone: a heading, "Default", then each microphone (not the sound of an output), the
// stored one checked; a stored one that is not there now is still shown, so that the user sees what is chosen.
std::vector<MenuItem> microphoneChoices(const std::vector<AudioSource>& sources, const std::string& stored);

// The dots of a mode row: slapCount filled circles, then empty ones up to three in all.
std::string tapCountDots(std::int64_t slapCount);

} // namespace knokle
