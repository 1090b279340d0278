#include "controller/SensorAccessAlert.h"
#include "common/AtomicFile.h"
#include "controller/NoTrayAlert.h"

#include <gtest/gtest.h>

using namespace knokle;

namespace {

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

} // namespace

TEST(SensorAccessAlert, NamesTheDeviceAndTheFix) {
    SensorAccessProblem problem{"/dev/hidraw3", "Permission denied", std::nullopt, std::nullopt};
    const std::string intro = "The accelerometer is /dev/hidraw3, but this user may not read it (Permission denied).";
    const std::string trigger = "sudo udevadm trigger --action=change --subsystem-match=hidraw";

    Alert unknown = sensorAccessAlert(problem);
    EXPECT_EQ(unknown.messageText, "Knokle can't read the motion sensor");
    EXPECT_EQ(unknown.buttons, (std::vector<std::string>{"Quit Knokle", "Leave Running"}));
    EXPECT_EQ(unknown.informativeText.rfind(intro, 0), 0u) << unknown.informativeText;
    EXPECT_TRUE(contains(unknown.informativeText,
                         "    echo 'SUBSYSTEM==\"hidraw\", KERNELS==\"*:05AC:8104.*\", TAG+=\"uaccess\"' | sudo tee "
                         "/etc/udev/rules.d/70-knokle-accelerometer.rules\n    sudo udevadm control --reload-rules\n"
                         "    " +
                             trigger + "\n"))
        << unknown.informativeText;

    problem.shippedRule = "/home/ann/knokle build/share/knokle/70-knokle-accelerometer.rules";
    Alert shipped = sensorAccessAlert(problem);
    EXPECT_TRUE(contains(shipped.informativeText,
                         "    sudo install -m 644 '/home/ann/knokle build/share/knokle/70-knokle-accelerometer.rules' "
                         "/etc/udev/rules.d/70-knokle-accelerometer.rules\n"))
        << shipped.informativeText;
    EXPECT_FALSE(contains(shipped.informativeText, "tee"));

    // Installed but not applied yet: only the trigger is missing.
    problem.installedRule = "/usr/lib/udev/rules.d/70-knokle-accelerometer.rules";
    Alert installed = sensorAccessAlert(problem);
    EXPECT_TRUE(contains(installed.informativeText, "(/usr/lib/udev/rules.d/70-knokle-accelerometer.rules)"));
    EXPECT_TRUE(contains(installed.informativeText, "\n    " + trigger + "\n"));
    EXPECT_FALSE(contains(installed.informativeText, "install -m"));
}

TEST(SensorAccessAlert, ShellWords) {
    const std::pair<std::string, std::string> cases[] = {
        {"/usr/share/knokle/a.rules", "/usr/share/knokle/a.rules"},
        {"/tmp/a b", "'/tmp/a b'"},
        {"it's", "'it'\\''s'"},
        {"", "''"},
    };
    for (const auto& [text, word] : cases)
        EXPECT_EQ(shellWord(text), word) << text;
}

// The alert's fallback writes the same rule as the one Knokle ships.
TEST(SensorAccessAlert, RuleIsTheShippedOne) {
    auto text = readWholeFile(std::filesystem::path(KNOKLE_SOURCE_DIR) / "share/udev" / kUdevRuleName);
    ASSERT_TRUE(text);
    EXPECT_TRUE(contains(*text, std::string("\n") + kUdevRule + "\n")) << *text;
}

// Without a tray the alert says why nothing shows and how to get a panel that shows tray items, on GNOME the
// extension; its buttons are in the order of the answers.
TEST(NoTrayAlert, SaysHowToGetATrayAndOffersTestTapsOrQuit) {
    Alert gnome = noTrayAlert("ubuntu:GNOME");
    EXPECT_NE(gnome.informativeText.find("sudo apt install gnome-shell-extension-appindicator"), std::string::npos);
    EXPECT_NE(gnome.informativeText.find("Extensions app"), std::string::npos);
    Alert xfce = noTrayAlert("XFCE");
    EXPECT_NE(xfce.informativeText.find("\"Status Tray\""), std::string::npos);
    EXPECT_EQ(xfce.informativeText.find("Extensions app"), std::string::npos);
    for (const Alert& alert : {gnome, xfce}) {
        ASSERT_EQ(alert.buttons.size(), 2u);
        EXPECT_EQ(alert.buttons[static_cast<int>(NoTrayAnswer::quit)], "Quit");
        EXPECT_EQ(alert.buttons[static_cast<int>(NoTrayAnswer::openTestTaps)], "Open Test Taps");
        EXPECT_NE(alert.informativeText.find("Knokle ends when you close it"), std::string::npos);
    }
}
