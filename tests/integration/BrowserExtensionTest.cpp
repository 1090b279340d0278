#include "RunningProgram.h"
#include "TempDir.h"
#include "TinyHttpServer.h"
#include "common/AtomicFile.h"
#include "platform/linux/BrowserHosts.h"
#include "platform/linux/DevToolsBrowserScripting.h"
#include "platform/linux/DevToolsTargets.h"

#include <curl/curl.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <thread>

using namespace knokle;
namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

size_t collect(char* data, size_t size, size_t count, void* out) {
    static_cast<std::string*>(out)->append(data, size * count);
    return size * count;
}

// The test's own view of the browser, through its DevTools endpoint, apart from the code under test.
std::optional<std::string> request(const std::string& method, const std::string& url) {
    CURL* curl = curl_easy_init();
    std::string body;
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, method.c_str());
    curl_easy_setopt(curl, CURLOPT_NOPROXY, "*");
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, 10L);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, collect);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
    CURLcode code = curl_easy_perform(curl);
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    curl_easy_cleanup(curl);
    if (code != CURLE_OK || status != 200) return std::nullopt;
    return body;
}

template <typename Condition> bool eventually(Condition condition, std::chrono::milliseconds limit) {
    for (auto deadline = std::chrono::steady_clock::now() + limit; std::chrono::steady_clock::now() < deadline;) {
        if (condition()) return true;
        std::this_thread::sleep_for(50ms);
    }
    return condition();
}

// Headless Chromium with the unpacked extension and the host manifest in its own profile.
struct ChromiumWithExtension {
    test::TempDir temp;
    fs::path profile = temp / "config/chromium"; // where the DevTools fallback looks for its port file
    fs::path runtime = temp / "run";
    std::unique_ptr<test::RunningProgram> browser;
    std::string endpoint;

    ChromiumWithExtension() {
        fs::create_directories(profile / "NativeMessagingHosts");
        fs::create_directories(runtime);
        fs::permissions(runtime, fs::perms::owner_all, fs::perm_options::replace);
        nlohmann::json manifest{{"name", kBrowserHostName},
                                {"description", "test"},
                                {"path", KNOKLE_EXECUTABLE},
                                {"type", "stdio"},
                                {"allowed_origins", {kChromiumExtensionOrigin}}};
        EXPECT_TRUE(writeFileAtomically(profile / "NativeMessagingHosts/org.knokle.tabs.json", manifest.dump()));
        browser = std::make_unique<test::RunningProgram>(
            std::vector<std::string>{
                "chromium", "--headless=new", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
                "--disable-component-update", "--disable-sync", "--no-first-run", "--remote-debugging-port=0",
                "--user-data-dir=" + profile.string(),
                "--load-extension=" + std::string(KNOKLE_SOURCE_DIR) + "/share/browser-extension", "about:blank"},
            std::vector<std::string>{"XDG_RUNTIME_DIR=" + runtime.string()});
    }
    bool ready() {
        bool hostUp = eventually(
            [&] { return fs::exists(runtime / "knokle") && !liveBrowserHosts(runtime / "knokle").empty(); }, 60s);
        auto port = readWholeFile(profile / "DevToolsActivePort");
        if (port) endpoint = "http://127.0.0.1:" + std::to_string(parseDevToolsActivePort(*port).value_or(0));
        return hostUp && port;
    }
    std::vector<std::string> pages() {
        std::vector<std::string> urls;
        if (auto list = request("GET", endpoint + "/json/list"))
            if (auto targets = pageTargets(*list))
                for (const auto& target : *targets)
                    urls.push_back(target.url);
        return urls;
    }
    void open(const std::string& url) {
        char* escaped = curl_easy_escape(nullptr, url.c_str(), static_cast<int>(url.size()));
        EXPECT_TRUE(request("PUT", endpoint + "/json/new?" + escaped)) << url;
        curl_free(escaped);
    }
    int count(const std::string& text) {
        int n = 0;
        for (const auto& url : pages())
            n += containsIgnoringCase(url, text) ? 1 : 0;
        return n;
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
    ASSERT_TRUE(eventually([&] { return chromium.count("/alpha/") == 2 && chromium.count("/beta/") == 1; }, 20s));

    test::TempDir folders;
    std::string mode = (folders / "mode.json").string();
    ASSERT_TRUE(writeFileAtomically(mode, R"({"name": "Tabs", "slapCount": 1, "closeURLs": ["ALPHA"]})"));
    test::RunningProgram program(
        {KNOKLE_EXECUTABLE, "--exec-mode", mode},
        {"XDG_RUNTIME_DIR=" + chromium.runtime.string(), "KNOKLE_CONFIG_DIR=" + (folders / "config").string(),
         "KNOKLE_DATA_DIR=" + (folders / "data").string(), "XDG_CONFIG_HOME=" + (folders / "xdg").string(),
         "QT_QPA_PLATFORM=offscreen", "DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent"});
    const std::string expected = "[ModeManager] Chromium: closed 2 tab(s) matching 'ALPHA'";
    auto lines = program.linesUntil([&](const std::string& line) { return line == expected; }, 20s);
    EXPECT_NE(std::find(lines.begin(), lines.end(), expected), lines.end()) << testing::PrintToString(lines);
    EXPECT_TRUE(eventually([&] { return chromium.count("/alpha/") == 0; }, 10s));
    EXPECT_EQ(chromium.count("/beta/three"), 1);

    program.stop();

    DevToolsBrowserScripting devTools({}, chromium.temp / "config");
    auto result = devTools.closeTabs("Chromium", "", "BETA");
    EXPECT_FALSE(result.error) << *result.error;
    EXPECT_EQ(result.closedCount, 1);
    EXPECT_TRUE(eventually([&] { return chromium.count("/beta/") == 0; }, 10s));
    // Once the browser is gone its port file is stale: a browser running then has no endpoint at all.
    chromium.browser->stop();
    EXPECT_EQ(devTools.closeTabs("Chromium", "", "beta").error, std::string(kDevToolsNotEnabled));
}
