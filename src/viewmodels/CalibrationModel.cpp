#include "viewmodels/CalibrationModel.h"

#include "sensing/Firmness.h"

#include <algorithm>
#include <cmath>

namespace knokle {

namespace {

const char* const kWaiting = "Waiting for a tap";
const char* const kSavesAutomatically = "Changes save automatically";

std::string repeated(const std::string& text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i)
        out += text;
    return out;
}

} // namespace

CalibrationModel::CalibrationModel(MainLoop& loop)
    : loop(loop), statusLine{kWaiting, Palette::textFaint}, footerLine{kSavesAutomatically, Palette::textFaint} {}

CalibrationModel::~CalibrationModel() {
    clearTimer.cancel();
    closeTimer.cancel();
}

void CalibrationModel::setStatus(StyledText line) {
    statusLine = std::move(line);
    if (onStatusChange) onStatusChange();
}

void CalibrationModel::refreshStatus() {
    if (showingDetection)
        setStatus({"Detected   " + std::to_string(lastCount) + " Tap" + (lastCount == 1 ? "" : "s"), Palette::good});
    else if (onCooldown)
        setStatus({"On cooldown", Palette::bad});
    else
        setStatus({kWaiting, Palette::textDim});
}

void CalibrationModel::showRunning(int count) {
    showingDetection = true;
    int filled = std::clamp(count, 0, 3);
    setStatus({repeated("●", filled) + repeated("○", 3 - filled), Palette::text});
    clearTimer.cancel();
}

void CalibrationModel::flashDetected(int count) {
    showingDetection = true;
    lastCount = count;
    refreshStatus();
    clearTimer.cancel();
    clearTimer = loop.after(Seconds(kDetectedSeconds), [this] { clearDetected(); });
}

void CalibrationModel::clearDetected() {
    showingDetection = false;
    refreshStatus();
}

void CalibrationModel::resetFooter() {
    footerLine = {sourceNote.empty() ? std::string(kSavesAutomatically) : sourceNote, Palette::textFaint};
    if (onFooterChange) onFooterChange();
}

void CalibrationModel::setSourceNote(const std::string& note) {
    if (note == sourceNote) return;
    sourceNote = note;
    if (!closeTimer.isScheduled()) resetFooter(); // "Saved ✓" stays until the window closes
}

void CalibrationModel::done() {
    footerLine = {"Saved ✓", Palette::good};
    if (onFooterChange) onFooterChange();
    closeTimer.cancel();
    closeTimer = loop.after(Seconds(kCloseSeconds), [this] {
        if (onClose) onClose();
    });
}

void CalibrationModel::chooseFirmness(int index) {
    firmness = userFirmness(index + 1);
}

void CalibrationModel::chooseCooldown(int index) {
    cooldown = cooldownChoices[static_cast<size_t>(std::clamp(index, 0, int(cooldownChoices.size()) - 1))];
}

void CalibrationModel::setAutoPause(bool on) {
    autoPause = on;
}

std::string CalibrationModel::firmnessDescription() const {
    return firmness <= 1 ? "Easiest to trigger. A gentle but deliberate fingertip tap."
                         : "Needs a firmer fingertip tap. Fewer accidental fires.";
}

const char* CalibrationModel::firmnessSymbol() const {
    return Palette::levelIcons[firmness <= 1 ? 0 : 1];
}

Colour CalibrationModel::firmnessTint() const {
    return firmness <= 1 ? Palette::neon : Palette::bad;
}

std::string CalibrationModel::cooldownText() const {
    if (autoPause)
        return "Recommended. Taps pause the moment a mode fires — press your shortcut to arm again. Nothing fires by "
               "accident in between.";
    return "Taps stay armed but ignore repeats for " + cooldownLabel(cooldown) +
           " after a mode runs, so one burst can't fire it twice.";
}

int CalibrationModel::cooldownIndex() const {
    auto found = std::find(cooldownChoices.begin(), cooldownChoices.end(), cooldown);
    return found == cooldownChoices.end() ? 0 : static_cast<int>(found - cooldownChoices.begin());
}

std::vector<std::string> CalibrationModel::cooldownLabels() {
    std::vector<std::string> labels;
    for (double seconds : cooldownChoices)
        labels.push_back(cooldownLabel(seconds));
    return labels;
}

std::vector<std::string> CalibrationModel::firmnessLabels() {
    return {firmnessLevel(1).name, firmnessLevel(2).name};
}

std::string CalibrationModel::cooldownLabel(double seconds) {
    // A whole number of seconds; values beyond what an integer holds (never offered) read as 0.
    double whole = std::trunc(seconds);
    long long value = std::isfinite(whole) && std::fabs(whole) < 1e15 ? static_cast<long long>(whole) : 0;
    return std::to_string(value) + "s";
}

} // namespace knokle
