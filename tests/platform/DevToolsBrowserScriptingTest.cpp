#include "platform/linux/DevToolsBrowserScripting.h"
#include "platform/linux/DevToolsTargets.h"

#include "TempDir.h"
#include "TinyHttpServer.h"
#include "common/AtomicFile.h"

#include <gtest/gtest.h>
#include <thread>

using namespace knokle;
namespace fs = std::filesystem;

TEST(DevToolsTargets, BrowsersThatCannotBeReachedSayWhy) {
    DevToolsBrowserScripting scripting([](const std::string&) { return 1; }, "/nonexistent");
    struct Case {
        std::string name;
        std::string error;
    };
    const Case cases[] = {
        {"Safari", "Safari is not available on Linux"},
        {"Arc", "Arc is not available on Linux"},
        {"Firefox", "Firefox cannot be reached this way"},
        {"Netscape", "there is no way to reach the tabs of Netscape here"},
    };
    for (const auto& c : cases) {
        auto result = scripting.closeTabs(c.name, "tell application ...", "x");
        EXPECT_EQ(result.error, c.error);
        EXPECT_FALSE(result.closedCount);
    }
    for (const char* name : {"Google Chrome", "Microsoft Edge", "Brave Browser", "Vivaldi", "Chromium"})
        EXPECT_EQ(browserReach(name), BrowserReach::devTools) << name;
}

TEST(DevToolsTargets, ActivePortFile) {
    struct Case {
        std::string text;
        std::optional<int> port;
    };
    const Case cases[] = {
        {"9222\n/devtools/browser/abc\n", 9222},
        {"41003", 41003},
        {"41003\r\n", 41003},
        {"0\n", std::nullopt},
        {"70000\n", std::nullopt},
        {"\n9222\n", std::nullopt},
        {"port\n", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(parseDevToolsActivePort(c.text), c.port) << c.text;
}

TEST(DevToolsTargets, PageTargetsKeepOnlyPages) {
    auto pages = pageTargets(R"([
        {"id": "A", "type": "page", "url": "https://a.example/"},
        {"id": "B", "type": "browser_ui", "url": "chrome://newtab/"},
        {"id": "C", "type": "service_worker", "url": "https://a.example/sw.js"},
        {"id": "D", "type": "page"},
        {"id": 5, "type": "page", "url": "https://number.example/"},
        "junk",
        {"id": "E", "type": "page", "url": "about:blank", "title": "x"}
    ])");
    ASSERT_TRUE(pages);
    ASSERT_EQ(pages->size(), 2u);
    EXPECT_EQ((*pages)[0].id, "A");
    EXPECT_EQ((*pages)[1].id, "E");
    EXPECT_FALSE(pageTargets("{\"not\": \"a list\"}"));
    EXPECT_FALSE(pageTargets("<html>"));
}

TEST(DevToolsTargets, ContainmentIgnoresCase) {
    struct Case {
        std::string address, text;
        bool contains;
    };
    const Case cases[] = {
        {"https://MAIL.example.com/inbox", "mail.EXAMPLE", true},
        {"https://example.com/Straße", "STRASSE", true}, // full case folding
        {"https://example.com/ÄRGER", "ärger", true},
        {"https://example.com/", "mail", false},
        {"https://example.com/ a", " a", true},
        {"https://example.com/a", " a", false},    // spaces at the ends stay part of the text
        {"https://bad.example/\xff", "BAD", true}, // invalid UTF-8 still compares its ASCII letters
    };
    for (const auto& c : cases)
        EXPECT_EQ(containsIgnoringCase(c.address, c.text), c.contains) << c.address;
}

namespace {

// A DevTools endpoint with a fixed tab list that remembers which tabs it was asked to close.
struct FakeEndpoint {
    int closeStatus = 200;
    std::chrono::milliseconds closeDelay{0};
    std::string list = R"([
        {"id": "t1", "type": "page", "url": "https://Mail.example.com/inbox"},
        {"id": "t2", "type": "page", "url": "https://mail.example.com/sent"},
        {"id": "t3", "type": "page", "url": "https://news.example.com/"},
        {"id": "t4", "type": "browser_ui", "url": "https://mail.example.com/ui"},
        {"id": "t5", "type": "page", "url": "https://example.com/?q=MAIL"}
    ])";
    test::TinyHttpServer server{[this](const std::string&, const std::string& target) {
        if (target == "/json/list") return test::TinyHttpServer::Reply{200, list};
        if (target.starts_with("/json/close/")) {
            std::this_thread::sleep_for(closeDelay);
            return test::TinyHttpServer::Reply{closeStatus, "Target is closing"};
        }
        return test::TinyHttpServer::Reply{404, ""};
    }};

    std::vector<std::string> closed() const {
        std::vector<std::string> ids;
        for (const auto& request : server.requests())
            if (request.starts_with("GET /json/close/")) ids.push_back(request.substr(16));
        return ids;
    }
};

} // namespace

TEST(DevToolsBrowserScripting, ClosesMatchingPagesAndCountsThem) {
    FakeEndpoint endpoint;
    ASSERT_GT(endpoint.server.port(), 0);
    int port = endpoint.server.port();
    DevToolsBrowserScripting scripting([port](const std::string& name) -> std::optional<int> {
        if (name == "Vivaldi") return port;
        return std::nullopt;
    });
    auto result = scripting.closeTabs("Vivaldi", "ignored", "mail\n");
    EXPECT_FALSE(result.error) << *result.error;
    EXPECT_EQ(result.closedCount, 3);
    EXPECT_EQ(endpoint.closed(), (std::vector<std::string>{"t1", "t2", "t5"}));
}

TEST(DevToolsBrowserScripting, EmptyMatchTextClosesNothing) {
    FakeEndpoint endpoint;
    int port = endpoint.server.port();
    DevToolsBrowserScripting scripting([port](const std::string&) { return port; });
    auto result = scripting.closeTabs("Chromium", "", "\n\u2028");
    EXPECT_EQ(result.closedCount, 0);
    EXPECT_FALSE(result.error);
    EXPECT_TRUE(endpoint.server.requests().empty());
}

TEST(DevToolsBrowserScripting, PortComesFromTheProfileFolderUnlessConfigured) {
    FakeEndpoint endpoint;
    test::TempDir config;
    fs::create_directories(config / "BraveSoftware/Brave-Browser");
    ASSERT_TRUE(writeFileAtomically(config / "BraveSoftware/Brave-Browser/DevToolsActivePort",
                                    std::to_string(endpoint.server.port()) + "\n/devtools/browser/x\n"));
    DevToolsBrowserScripting fromFile({}, config.path());
    auto found = fromFile.closeTabs("Brave Browser", "", "news");
    EXPECT_EQ(found.closedCount, 1);
    EXPECT_FALSE(found.error);

    // Another browser's folder has no file: remote debugging is off for it.
    auto off = fromFile.closeTabs("Google Chrome", "", "news");
    EXPECT_EQ(off.error, "remote debugging is not enabled (start it with --remote-debugging-port=0, or set its port "
                         "in the settings)");

    // A port file left behind by a browser that has ended: nothing listens there.
    fs::create_directories(config / "chromium");
    ASSERT_TRUE(writeFileAtomically(config / "chromium/DevToolsActivePort", "1\n/devtools/browser/x\n"));
    EXPECT_EQ(fromFile.closeTabs("Chromium", "", "news").error, std::string(kDevToolsNotEnabled));

    // A configured port wins over the file; a port of 0 means none is configured.
    DevToolsBrowserScripting configured([](const std::string&) { return 1; }, config.path());
    EXPECT_EQ(configured.closeTabs("Brave Browser", "", "news").error,
              "its DevTools endpoint did not answer on port 1");
    DevToolsBrowserScripting zero([](const std::string&) { return 0; }, config.path());
    EXPECT_EQ(zero.closeTabs("Brave Browser", "", "news").closedCount, 1);
}

TEST(DevToolsBrowserScripting, EndpointFailuresAreReportedInPlainWords) {
    FakeEndpoint endpoint;
    int port = endpoint.server.port();
    std::string portText = std::to_string(port);
    DevToolsBrowserScripting scripting([port](const std::string&) { return port; });

    endpoint.closeStatus = 404; // closed meanwhile by someone else: not counted, not an error
    auto vanished = scripting.closeTabs("Chromium", "", "news");
    EXPECT_EQ(vanished.closedCount, 0);
    EXPECT_FALSE(vanished.error);

    endpoint.closeStatus = 500;
    EXPECT_EQ(scripting.closeTabs("Chromium", "", "news").error,
              "its DevTools endpoint refused to close a tab (HTTP status 500)");

    // A slow browser gets one deadline for the whole call, not one per tab.
    endpoint.closeStatus = 200;
    endpoint.closeDelay = std::chrono::milliseconds(300);
    DevToolsBrowserScripting hurried([port](const std::string&) { return port; }, std::nullopt,
                                     std::chrono::seconds(3), std::chrono::milliseconds(500));
    auto late = hurried.closeTabs("Chromium", "", "mail");
    EXPECT_EQ(late.closedCount, 1);
    EXPECT_EQ(late.error, "its DevTools endpoint on port " + portText + " took longer than 0.5 s; 1 tab(s) closed, " +
                              "2 not reached");
    endpoint.closeDelay = {};

    for (const auto& [list, error] : std::vector<std::pair<std::string, std::string>>{
             {"<html>not json</html>", "sent an unreadable tab list"},
             {std::string(70, '[') + std::string(70, ']'), "sent an unreadable tab list"},
             {"[" + std::string(kMaxDevToolsAnswerBytes, ' ') + "]", "sent a tab list larger than 4 MB"},
         }) {
        endpoint.list = list;
        EXPECT_EQ(scripting.closeTabs("Chromium", "", "news").error,
                  "its DevTools endpoint on port " + portText + " " + error);
    }
}
