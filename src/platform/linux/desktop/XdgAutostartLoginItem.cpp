#include "platform/linux/desktop/XdgAutostartLoginItem.h"

#include "common/AtomicFile.h"
#include "platform/linux/desktop/DesktopEntries.h"
#include "platform/linux/desktop/DesktopEntryFile.h"
#include "platform/linux/desktop/XdgFolders.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace knokle {
namespace {

// Exec arguments are quoted with double quotes; inside them \ escapes ", `, $ and \.
std::string quotedExecArgument(const std::string& path) {
    std::string out = "\"";
    for (char c : path) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

bool sameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
    std::error_code ec;
    return std::filesystem::equivalent(a, b, ec) && !ec;
}

// The program named by Exec, resolved through PATH when it is a bare name.
std::filesystem::path resolveProgram(const std::string& program) {
    const char* path = std::getenv("PATH");
    return resolvedProgram(program, path ? path : "").value_or("");
}

} // namespace

XdgAutostartLoginItem::Locations XdgAutostartLoginItem::defaultLocations() {
    XdgFolders folders;
    Locations l{folders.autostart(), {folders.dataHome()}, XdgFolders::executable()};
    for (const auto& dir : folders.dataDirs())
        l.dataDirs.push_back(dir);
    return l;
}

XdgAutostartLoginItem::XdgAutostartLoginItem(Locations locations) : where(std::move(locations)) {}

LoginItemStatus XdgAutostartLoginItem::status() const {
    auto text = readWholeFile(entryFile());
    if (!text) return LoginItemStatus::notRegistered;
    auto entry = DesktopEntryFile::parse(*text);
    if (entry && entry->boolean("Hidden")) return LoginItemStatus::notRegistered;
    return LoginItemStatus::enabled;
}

std::optional<std::string> XdgAutostartLoginItem::registerItem() {
    std::error_code ec;
    std::filesystem::create_directories(where.autostartFolder, ec);
    if (ec) return "Could not create the folder " + where.autostartFolder.string() + ": " + ec.message();
    std::string entry = "[Desktop Entry]\n"
                        "Type=Application\n"
                        "Name=Knokle\n"
                        "Comment=Tap the laptop's chassis to run desktop actions\n" // as the installed entry says
                        "Exec=" +
                        quotedExecArgument(where.executable.string()) +
                        "\n"
                        "Icon=" +
                        std::string(kDesktopEntryId) +
                        "\n"
                        "Terminal=false\n"
                        "X-GNOME-Autostart-enabled=true\n";
    if (linkIsRefused(entryFile()))
        return "Did not write " + entryFile().string() +
               ": it is a link to something other than a regular file of yours";
    if (!writeFileAtomically(entryFile(), entry))
        return "Could not write " + entryFile().string() + ": " + std::strerror(errno);
    return std::nullopt;
}

std::optional<std::string> XdgAutostartLoginItem::unregisterItem() {
    std::error_code ec;
    std::filesystem::remove(entryFile(), ec);
    if (ec) return "Could not remove " + entryFile().string() + ": " + ec.message();
    return std::nullopt;
}

bool XdgAutostartLoginItem::canChange() const {
    if (where.executable.empty()) return false;
    for (const auto& dir : where.dataDirs) {
        auto text = readWholeFile(dir / "applications" / (std::string(kDesktopEntryId) + ".desktop"));
        if (!text) continue;
        // The first entry found is the one the desktop uses; it must start this very program.
        auto entry = DesktopEntryFile::parse(*text);
        auto program = execProgram(entry ? entry->value("Exec").value_or("") : "");
        if (!program) return false;
        std::filesystem::path resolved = resolveProgram(*program);
        return !resolved.empty() && sameFile(resolved, where.executable);
    }
    return false;
}

} // namespace knokle
