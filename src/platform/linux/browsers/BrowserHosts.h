#pragma once

#include "platform/BrowserScripting.h"

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace knokle {

// The browser extension reaches Knokle through a native-messaging host: Knokle itself, started by the
// browser. Each host listens on a socket of its own in an owner-only Knokle folder under $XDG_RUNTIME_DIR,
// named after its browser, so any Knokle process finds the live browsers by listing that folder.

inline constexpr const char* kBrowserHostName = "org.knokle.tabs";
inline constexpr const char* kChromiumExtensionOrigin = "chrome-extension://mkfakmbjhineegibglgpbaibbegjjigh/";
inline constexpr const char* kFirefoxExtensionId = "tabs@knokle.org";

// Native-messaging framing: a 32-bit length in the machine's byte order, then that many bytes of JSON.
std::string framed(std::string_view message);
// The first complete message at the front of buffer, taken out of it; nothing while it is incomplete.
// A length above the limit empties the buffer and gives an empty message (the stream is not ours).
std::optional<std::string> takeFrame(std::string& buffer, size_t limit = 64u << 20);

// "Google Chrome" gives "google-chrome": the socket names' browser part.
std::string browserSlug(std::string_view applicationName);

// The hosts' folder, made owner-only when we create it; nothing (with the reason) when it is missing and
// cannot be made, or belongs to someone else, or others may enter it. runtimeDir: nothing means
// $XDG_RUNTIME_DIR, else /tmp/knokle-UID.
std::optional<std::filesystem::path> browserHostFolder(std::string& why,
                                                       std::optional<std::filesystem::path> runtimeDir = {});

struct LiveHost {
    std::string slug;
    std::filesystem::path socket;
};
// The hosts in the folder that answer. Sockets that are not ours are left alone and never used; sockets of
// hosts that are gone are removed.
std::vector<LiveHost> liveBrowserHosts(const std::filesystem::path& folder);

// Asks one host to close its browser's tabs whose address contains matchText (ignoring case); the browser
// answers with its count.
TabClosingResult askHostToCloseTabs(const std::filesystem::path& socket, const std::string& matchText,
                                    std::chrono::milliseconds timeout);

// Opens a connection to a host's socket, after checking the socket and the process behind it are ours.
// Returns the descriptor, or -1 with why set (connectionRefused when nothing listens there).
int connectToHost(const std::filesystem::path& socket, std::string& why, bool* connectionRefused = nullptr);

} // namespace knokle
