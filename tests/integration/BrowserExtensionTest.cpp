#include "TinyHttpServer.h"
#include "TrayDesktop.h"
#include "platform/linux/browsers/BrowserHosts.h"
#include "platform/linux/browsers/DevToolsBrowserScripting.h"
#include "platform/linux/browsers/DevToolsTargets.h"

#include <gtest/gtest.h>

using namespace knokle;
namespace fs = std::filesystem;
using test::waitFor;

namespace {

// The test's own view of the browser, through its DevTools endpoint, apart from the code under test: the
// answer, empty on failure. A query is URL-encoded.
std::string request(const std::string& method, const std::string& url, const std::string& query = "") {
    return test::commandOutput("curl -sf --noproxy '*' -m 10 -X " + method + " " + test::shellQuoted(url) +
                               (query.empty() ? "" : " -G --data-urlencode " + test::shellQuoted("=" + query)));
}

// Headless Chromium with the unpacked extension and the host manifest in its own profile.
struct ChromiumWithExtension {
    test::TempDir temp;
    fs::path profile = temp / "config/chromium"; // where the DevTools fallback looks for its port file
    fs::path runtime = temp / "run";
    std::optional<test::Child> browser;
    std::string endpoint;

    ChromiumWithExtension() {
        fs::create_directories(runtime);
        fs::permissions(runtime, fs::perms::owner_all, fs::perm_options::replace);
        nlohmann::json manifest{{"name", kBrowserHostName},
                                {"description", "test"},
                                {"path", KNOKLE_EXECUTABLE},
                                {"type", "stdio"},
                                {"allowed_origins", {kChromiumExtensionOrigin}}};
        test::put(profile / "NativeMessagingHosts/org.knokle.tabs.json", manifest.dump());
        browser.emplace(
            std::vector<std::string>{
                "chromium", "--headless=new", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
                "--disable-component-update", "--disable-sync", "--no-first-run", "--remote-debugging-port=0",
                "--user-data-dir=" + profile.string(),
                "--load-extension=" + std::string(KNOKLE_SOURCE_DIR) + "/share/browser-extension", "about:blank"},
            test::inherited({"XDG_RUNTIME_DIR=" + runtime.string()}), temp / "chromium.out");
    }
    bool ready() {
        bool hostUp = waitFor(
            [&] { return fs::exists(runtime / "knokle") && !liveBrowserHosts(runtime / "knokle").empty(); }, 60000);
        auto port = readWholeFile(profile / "DevToolsActivePort");
        if (port) endpoint = "http://127.0.0.1:" + std::to_string(parseDevToolsActivePort(*port).value_or(0));
        return hostUp && port;
    }
    void open(const std::string& url) { EXPECT_NE(request("PUT", endpoint + "/json/new", url), "") << url; }
    // Open pages whose address contains the text.
    int count(const std::string& text) {
        auto targets = pageTargets(request("GET", endpoint + "/json/list"));
        return int(std::ranges::count_if(targets.value_or(std::vector<DevToolsTarget>{}),
                                         [&](const auto& target) { return containsIgnoringCase(target.url, text); }));
    }
};

} // namespace

// The whole road: a mode run by the program closes the matching tabs of a browser that runs the extension,
// keeps the others and prints the browser's count. Then the DevTools fallback on the same browser.
TEST(BrowserExtension, AModeClosesMatchingTabsThroughTheExtensionAndDevToolsStillWorks) {
    test::TinyHttpServer pages([](const std::string&, const std::string& target) {
        return test::TinyHttpServer::Reply{200, "<html><title>" + target + "</title></html>"};
    });
    ChromiumWithExtension chromium;
    ASSERT_TRUE(chromium.ready()) << "Chromium did not start its Knokle host";
    for (const char* path : {"/Alpha/one", "/alpha/two?x=1&y=2", "/beta/three"})
        chromium.open(pages.url(path));
    ASSERT_TRUE(waitFor([&] { return chromium.count("/alpha/") == 2 && chromium.count("/beta/") == 1; }, 20000));

    test::TempDir folders;
    std::string mode = (folders / "mode.json").string();
    test::put(mode, R"({"name": "Tabs", "slapCount": 1, "closeURLs": ["ALPHA"]})");
    test::Child program({KNOKLE_EXECUTABLE, "--exec-mode", mode},
                        test::inherited({"XDG_RUNTIME_DIR=" + chromium.runtime.string(),
                                         "KNOKLE_CONFIG_DIR=" + (folders / "config").string(),
                                         "KNOKLE_DATA_DIR=" + (folders / "data").string(),
                                         "XDG_CONFIG_HOME=" + (folders / "xdg").string(), "QT_QPA_PLATFORM=offscreen",
                                         "DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent"}),
                        folders / "out");
    const std::string closed = "[ModeManager] Chromium: closed 2 tab(s) matching 'ALPHA'";
    EXPECT_TRUE(waitFor([&] { return std::ranges::count(program.lines(), closed) == 1; }, 20000))
        << testing::PrintToString(program.lines());
    EXPECT_TRUE(waitFor([&] { return chromium.count("/alpha/") == 0; }));
    EXPECT_EQ(chromium.count("/beta/three"), 1);

    program.stop();

    DevToolsBrowserScripting devTools({}, chromium.temp / "config");
    auto result = devTools.closeTabs("Chromium", "BETA");
    EXPECT_FALSE(result.error) << *result.error;
    EXPECT_EQ(result.closedCount, 1);
    EXPECT_TRUE(waitFor([&] { return chromium.count("/beta/") == 0; }));
}
