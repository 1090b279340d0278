#include "controller/SensorAccessAlert.h"

#include <cctype>
#include <string_view>

namespace knokle {

namespace {

const char* const kTrigger = "sudo udevadm trigger --action=change --subsystem-match=hidraw";

} // namespace

std::string shellWord(const std::string& text) {
    bool plain = !text.empty();
    for (char c : text)
        if (!std::isalnum(static_cast<unsigned char>(c)) && std::string_view("/._-+:=").find(c) == std::string::npos)
            plain = false;
    if (plain) return text;
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

Alert sensorAccessAlert(const SensorAccessProblem& problem) {
    Alert alert;
    alert.style = AlertStyle::warning;
    alert.messageText = "Knokle can't read the motion sensor";
    std::string text =
        "The accelerometer is " + problem.device + ", but this user may not read it (" + problem.reason + ").\n\n";
    std::string target = std::string("/etc/udev/rules.d/") + kUdevRuleName;
    if (problem.installedRule) {
        text += "Knokle's udev rule (" + *problem.installedRule +
                ") gives the user logged in at this computer access, but it has not been applied to the device "
                "yet. Apply it with\n\n    " +
                std::string(kTrigger) + "\n\nor restart the computer, then start Knokle again.";
    } else {
        text += "Knokle's udev rule gives the user logged in at this computer access. Install it with\n\n    ";
        if (problem.shippedRule)
            text += "sudo install -m 644 " + shellWord(*problem.shippedRule) + " " + target;
        else
            text += "echo " + shellWord(kUdevRule) + " | sudo tee " + target;
        text +=
            "\n    sudo udevadm control --reload-rules\n    " + std::string(kTrigger) + "\n\nthen start Knokle again.";
    }
    alert.informativeText = text;
    alert.buttons = {"Quit Knokle", "Leave Running"};
    return alert;
}

} // namespace knokle
