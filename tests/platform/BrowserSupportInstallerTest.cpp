#include "platform/linux/BrowserSupportInstaller.h"

#include "TempDir.h"
#include "common/AtomicFile.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sstream>

using namespace knokle;
namespace fs = std::filesystem;

// Manifests go where the installed browsers look for them (their own folders, Flatpak's and Snap's), and the
// uninstall removes exactly what was written.
TEST(BrowserSupportInstaller, WritesManifestsForInstalledBrowsersAndUndoesExactlyThat) {
    test::TempDir temp;
    BrowserSupportPlaces places;
    places.home = temp / "home";
    places.config = temp / "home/.config";
    places.hostProgram = "/opt/knokle/bin/knokle";
    places.record = temp / "data/browser-support-installed";
    places.extension = "/opt/knokle/share/knokle/browser-extension";
    places.searchPath = {(temp / "bin").string()};
    places.flatpakApps = {temp / "flatpak"};
    places.snaps = temp / "snap";
    fs::create_directories(temp / "bin");
    ASSERT_TRUE(writeFileAtomically(temp / "bin/firefox-esr", "#!/bin/sh\n"));
    fs::permissions(temp / "bin/firefox-esr", fs::perms::owner_all);
    fs::create_directories(places.config / "google-chrome/Default"); // used before: its folder is there
    fs::create_directories(places.config / "google-chrome/NativeMessagingHosts");
    fs::create_directories(temp / "flatpak/com.brave.Browser");
    fs::create_directories(temp / "snap/chromium");
    ASSERT_TRUE(writeFileAtomically(places.config / "google-chrome/NativeMessagingHosts/other.json", "{}"));

    std::ostringstream out;
    ASSERT_EQ(installBrowserSupport(places, out), 0) << out.str();
    const fs::path chrome = places.config / "google-chrome/NativeMessagingHosts/org.knokle.tabs.json";
    const fs::path firefox = places.home / ".mozilla/native-messaging-hosts/org.knokle.tabs.json";
    const fs::path braveFolder = places.home / ".var/app/com.brave.Browser/config/BraveSoftware/Brave-Browser";
    const fs::path brave = braveFolder / "NativeMessagingHosts/org.knokle.tabs.json";
    const fs::path snap = places.home / "snap/chromium/common/chromium/NativeMessagingHosts/org.knokle.tabs.json";
    auto json = [](const fs::path& file) { return nlohmann::json::parse(readWholeFile(file).value_or("null")); };
    EXPECT_EQ(json(chrome)["path"], "/opt/knokle/bin/knokle");
    EXPECT_EQ(json(chrome)["allowed_origins"][0], "chrome-extension://mkfakmbjhineegibglgpbaibbegjjigh/");
    EXPECT_EQ(json(firefox)["allowed_extensions"][0], "tabs@knokle.org");
    EXPECT_EQ(json(snap)["path"], "/opt/knokle/bin/knokle");
    // A Flatpak browser starts the host outside its sandbox.
    EXPECT_EQ(json(brave)["path"], (braveFolder / "NativeMessagingHosts/knokle-host").string());
    EXPECT_NE(readWholeFile(braveFolder / "NativeMessagingHosts/knokle-host")->find("flatpak-spawn --host"),
              std::string::npos);
    for (const char* absent : {"chromium", "vivaldi", "microsoft-edge", "BraveSoftware"})
        EXPECT_FALSE(fs::exists(places.config / absent)) << absent << " is not installed";
    EXPECT_NE(out.str().find("Load unpacked\" and pick /opt/knokle/share/knokle/browser-extension"), std::string::npos);
    EXPECT_EQ(installBrowserSupport(places, out), 0); // again: nothing new to record

    out.str("");
    ASSERT_EQ(uninstallBrowserSupport(places, out), 0) << out.str();
    for (const auto& file : {chrome, firefox, brave, snap})
        EXPECT_FALSE(fs::exists(file)) << file;
    EXPECT_FALSE(fs::exists(places.home / ".mozilla"));
    EXPECT_FALSE(fs::exists(places.home / ".var"));
    EXPECT_TRUE(fs::exists(places.config / "google-chrome/NativeMessagingHosts/other.json")); // not ours
    EXPECT_TRUE(fs::exists(places.config / "google-chrome/Default"));
    EXPECT_FALSE(fs::exists(places.record));
    EXPECT_EQ(uninstallBrowserSupport(places, out), 0);
}
