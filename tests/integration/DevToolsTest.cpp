#include "platform/linux/DevToolsBrowserScripting.h"
#include "platform/linux/DevToolsTargets.h"

#include "TempDir.h"
#include "TinyHttpServer.h"
#include "common/AtomicFile.h"

#include <chrono>
#include <csignal>
#include <curl/curl.h>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace knokle;
namespace fs = std::filesystem;

namespace {

bool eventually(const std::function<bool()>& condition, int seconds) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < deadline) {
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return condition();
}

size_t collect(char* data, size_t size, size_t count, void* out) {
    static_cast<std::string*>(out)->append(data, size * count);
    return size * count;
}

// A request of the test's own to the browser, apart from the code under test.
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

std::string percentEncoded(const std::string& text) {
    char* escaped = curl_easy_escape(nullptr, text.c_str(), static_cast<int>(text.size()));
    std::string out = escaped;
    curl_free(escaped);
    return out;
}

// Headless Chromium on a profile of its own, in a process group of its own.
class HeadlessChromium {
public:
    explicit HeadlessChromium(const fs::path& profile) {
        std::string userDataDir = "--user-data-dir=" + profile.string();
        pid = fork();
        if (pid == 0) {
            setpgid(0, 0);
            int devNull = open("/dev/null", O_RDWR);
            dup2(devNull, STDOUT_FILENO);
            dup2(devNull, STDERR_FILENO);
            execlp("chromium", "chromium", "--headless=new", "--no-sandbox", "--disable-gpu",
                   "--disable-background-networking", "--disable-component-update", "--disable-sync", "--no-first-run",
                   "--remote-debugging-port=0", userDataDir.c_str(), "about:blank", nullptr);
            _exit(127);
        }
        if (pid > 0) setpgid(pid, pid);
    }
    ~HeadlessChromium() { stop(); }
    void stop() {
        if (pid <= 0) return;
        kill(-pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        pid = -1;
    }

private:
    pid_t pid = -1;
};

bool onPath(const char* program) {
    return std::system((std::string("command -v ") + program + " >/dev/null 2>&1").c_str()) == 0;
}

} // namespace

TEST(DevTools, ClosesMatchingTabsOfARealChromium) {
    if (!onPath("chromium")) GTEST_SKIP() << "chromium is not installed";
    test::TinyHttpServer pages([](const std::string&, const std::string& target) {
        return test::TinyHttpServer::Reply{200, "<html><title>" + target + "</title></html>"};
    });
    ASSERT_GT(pages.port(), 0);
    test::TempDir temp;
    fs::path config = temp / "config";
    fs::path profile = config / "chromium";
    fs::create_directories(profile);
    HeadlessChromium browser(profile);

    std::optional<int> port;
    ASSERT_TRUE(eventually(
        [&] {
            auto text = readWholeFile(profile / "DevToolsActivePort");
            return (port = text ? parseDevToolsActivePort(*text) : std::nullopt).has_value();
        },
        60))
        << "Chromium did not open its DevTools endpoint";
    std::string endpoint = "http://127.0.0.1:" + std::to_string(*port);

    const std::vector<std::string> opened = {pages.url("/Alpha/one"), pages.url("/alpha/two?x=1&y=2"),
                                             pages.url("/beta/three")};
    for (const auto& url : opened)
        ASSERT_TRUE(request("PUT", endpoint + "/json/new?" + percentEncoded(url))) << url;
    auto pageUrls = [&] {
        std::vector<std::string> urls;
        if (auto list = request("GET", endpoint + "/json/list"))
            if (auto targets = pageTargets(*list))
                for (const auto& target : *targets)
                    urls.push_back(target.url);
        return urls;
    };
    auto count = [&](const std::string& text) {
        int n = 0;
        for (const auto& url : pageUrls())
            n += containsIgnoringCase(url, text) ? 1 : 0;
        return n;
    };
    ASSERT_TRUE(eventually([&] { return count("/alpha/") == 2 && count("/beta/") == 1; }, 20));

    DevToolsBrowserScripting scripting({}, config);
    auto result = scripting.closeTabs("Chromium", "", "ALPHA");
    EXPECT_FALSE(result.error) << *result.error;
    EXPECT_EQ(result.closedCount, 2);
    EXPECT_TRUE(eventually([&] { return count("/alpha/") == 0; }, 20));
    EXPECT_EQ(count("/beta/three"), 1);

    // Once the browser is gone its port file is stale, and the endpoint does not answer.
    browser.stop();
    EXPECT_EQ(scripting.closeTabs("Chromium", "", "beta").error,
              "its DevTools endpoint did not answer on port " + std::to_string(*port));
}
