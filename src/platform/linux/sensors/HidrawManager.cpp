#include "platform/linux/sensors/HidrawManager.h"

#include "common/DiagnosticOutput.h"
#include "common/SampleClock.h"
#include "common/TextFormat.h"

#include <QSocketNotifier>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <mutex>
#include <sys/stat.h>
#include <sys/timerfd.h>
#include <thread>
#include <unistd.h>

namespace knokle {
namespace {

// How long the reader thread gathers reports before it wakes the main loop: 8 reports of a 1 kHz sensor, a delay
// no gesture notices, while the samples keep their read times.
constexpr auto kHandOffInterval = std::chrono::milliseconds(8);
// A faster device is handed over sooner.
constexpr std::size_t kMaxReportsPerHandOff = 64;

std::optional<std::string> readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::optional<unsigned long> parseHex(std::string_view text) {
    if (text.empty() || text.size() > 8) return std::nullopt;
    unsigned long value = 0;
    for (char c : text) {
        int digit = c >= '0' && c <= '9'   ? c - '0'
                    : c >= 'a' && c <= 'f' ? c - 'a' + 10
                    : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                           : -1;
        if (digit < 0) return std::nullopt;
        value = value * 16 + unsigned(digit);
    }
    return value;
}

// hidraw10 sorts after hidraw9.
long nodeNumber(const std::string& name) {
    std::string digits = name.substr(std::string("hidraw").size());
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos) return -1;
    return std::stol(digits.substr(0, 9));
}

std::string openHint(const std::filesystem::path& node, int error) {
    std::string text = "[MotionSensor] Cannot open " + node.string() + ": " + std::strerror(error) + ".";
    if (error == EACCES || error == EPERM)
        text += " Reading the accelerometer needs read access to this node: add a udev rule that grants it to your"
                " user (for example TAG+=\"uaccess\" for this device) or join the group that owns it.";
    return text;
}

} // namespace

std::vector<HidUsage> topLevelUsages(const std::vector<std::uint8_t>& descriptor) {
    std::vector<HidUsage> found;
    std::uint32_t usagePage = 0;
    std::vector<std::uint32_t> pageStack;
    // Local state, cleared by every main item. A 4-byte usage carries its own page.
    bool haveUsage = false;
    std::uint32_t firstUsage = 0;
    bool usageHasPage = false;
    int depth = 0;
    std::size_t i = 0;
    while (i < descriptor.size()) {
        std::uint8_t prefix = descriptor[i];
        if (prefix == 0xFE) { // long item: size, tag, data
            if (i + 2 >= descriptor.size()) break;
            i += 3 + descriptor[i + 1];
            continue;
        }
        std::size_t size = (prefix & 3) == 3 ? 4 : (prefix & 3);
        if (i + 1 + size > descriptor.size()) break; // truncated item
        std::uint32_t value = 0;
        for (std::size_t b = 0; b < size; ++b)
            value |= std::uint32_t(descriptor[i + 1 + b]) << (8 * b);
        int type = (prefix >> 2) & 3;
        switch (prefix & 0xFC) {
        case 0x04:
            usagePage = value;
            break;
        case 0xA4:
            pageStack.push_back(usagePage);
            break;
        case 0xB4:
            if (!pageStack.empty()) {
                usagePage = pageStack.back();
                pageStack.pop_back();
            }
            break;
        case 0x08:
            if (!haveUsage) {
                haveUsage = true;
                firstUsage = value;
                usageHasPage = size == 4;
            }
            break;
        case 0xA0:
            if (depth == 0) {
                std::uint32_t usage = haveUsage ? firstUsage : 0;
                if (usageHasPage)
                    found.push_back({int(usage >> 16), int(usage & 0xFFFF)});
                else
                    found.push_back({int(usagePage & 0xFFFF), int(usage & 0xFFFF)});
            }
            ++depth;
            break;
        case 0xC0:
            depth = std::max(0, depth - 1);
            break;
        default:
            break;
        }
        if (type == 0) {
            haveUsage = usageHasPage = false;
            firstUsage = 0;
        }
        i += 1 + size;
    }
    return found;
}

std::optional<HidUevent> parseHidUevent(std::string_view text) {
    HidUevent event;
    bool haveID = false;
    while (!text.empty()) {
        size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        size_t eq = line.find('=');
        if (eq == std::string_view::npos) continue;
        std::string_view key = line.substr(0, eq), value = line.substr(eq + 1);
        if (key == "HID_ID") {
            size_t first = value.find(':'), second = value.find(':', first + 1);
            if (first == std::string_view::npos || second == std::string_view::npos) return std::nullopt;
            auto bus = parseHex(value.substr(0, first));
            auto vendor = parseHex(value.substr(first + 1, second - first - 1));
            auto product = parseHex(value.substr(second + 1));
            if (!bus || !vendor || !product) return std::nullopt;
            event.bus = int(*bus);
            event.vendorID = int(*vendor & 0xFFFF);
            event.productID = int(*product & 0xFFFF);
            haveID = true;
        } else if (key == "HID_NAME") {
            event.name = std::string(value);
        }
    }
    if (!haveID) return std::nullopt;
    return event;
}

std::string transportName(int bus) {
    switch (bus) {
    case 0x03:
        return "USB";
    case 0x05:
        return "Bluetooth";
    case 0x06:
        return "Virtual";
    case 0x18:
        return "I2C";
    case 0x1C:
        return "SPI";
    default:
        return format("Bus 0x%02x", unsigned(bus));
    }
}

// What the reader thread has read and the main loop has yet to take. The thread owns a reference, so that it may
// finish its last blocking read after the device is gone; it closes the node and the timer when it ends.
struct HidrawReadAhead {
    HidrawReadAhead(int node, int timer, std::size_t reportLength)
        : node(node), timer(timer), reportLength(reportLength) {}
    ~HidrawReadAhead() {
        ::close(node);
        ::close(timer);
    }

    void readReports();
    // Called with the mutex held.
    void wakeMainLoop(std::chrono::nanoseconds after);

    const int node;
    const int timer; // a timerfd the main loop watches
    const std::size_t reportLength;
    std::atomic<bool> stopped = false;
    std::atomic<std::size_t> wakeups = 0;

    std::mutex mutex;                                    // guards the rest
    std::vector<std::uint8_t> bytes;                     // reports back to back
    std::vector<std::pair<double, std::size_t>> reports; // read time and length of each
    std::optional<std::string> failure;
    bool wakeScheduled = false;
};

void HidrawReadAhead::wakeMainLoop(std::chrono::nanoseconds after) {
    itimerspec due{};
    due.it_value.tv_sec = static_cast<time_t>(after.count() / 1000000000);
    due.it_value.tv_nsec = static_cast<long>(std::max<long long>(after.count() % 1000000000, 1));
    timerfd_settime(timer, 0, &due, nullptr);
    wakeScheduled = true;
}

void HidrawReadAhead::readReports() {
    std::vector<std::uint8_t> report(reportLength);
    for (;;) {
        // A blocking read: the same single system call per report as the plainest reader.
        ssize_t n = ::read(node, report.data(), report.size());
        int error = errno;
        if (stopped) return;
        ++wakeups;
        if (n < 0 && error == EINTR) continue;
        double readTime = sampleClockNow();
        std::lock_guard lock(mutex);
        if (n <= 0) {
            // End of file or a read error (the device went away): stop rather than wake up forever.
            failure = n == 0 ? std::string("end of file") : std::string(std::strerror(error));
            wakeMainLoop(std::chrono::nanoseconds(1));
            return;
        }
        reports.emplace_back(readTime, static_cast<std::size_t>(n));
        bytes.insert(bytes.end(), report.begin(), report.begin() + n);
        if (reports.size() >= kMaxReportsPerHandOff)
            wakeMainLoop(std::chrono::nanoseconds(1));
        else if (!wakeScheduled)
            wakeMainLoop(kHandOffInterval);
    }
}

HidrawDevice::HidrawDevice(std::filesystem::path node, HidUevent info)
    : nodePath(std::move(node)), info(std::move(info)) {}

HidrawDevice::~HidrawDevice() {
    closeNode();
}

std::optional<std::string> HidrawDevice::property(const std::string& key) const {
    if (key == "Product") return info.name;
    if (key == "Transport") return transportName(info.bus);
    return std::nullopt;
}

int HidrawDevice::open() {
    if (fd >= 0 || readAhead) return 0;
    int opened = ::open(nodePath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (opened < 0) {
        int error = errno;
        printLine(openHint(nodePath, error));
        return error;
    }
    struct stat status {};
    int error = fstat(opened, &status) != 0                             ? errno
                : S_ISDIR(status.st_mode)                               ? EISDIR
                : !S_ISCHR(status.st_mode) && !S_ISFIFO(status.st_mode) ? ENODEV
                                                                        : 0;
    if (error) {
        ::close(opened);
        printLine(openHint(nodePath, error));
        return error;
    }
    fd = opened;
    if (S_ISFIFO(status.st_mode)) keepAliveWriter = ::open(nodePath.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    return 0;
}

void HidrawDevice::setInputReportHandler(std::uint8_t* buffer, std::size_t length, InputReportHandler handler) {
    this->buffer = buffer;
    bufferLength = length;
    this->handler = std::move(handler);
}

void HidrawDevice::scheduleWithMainLoop() {
    if (fd < 0 || readAhead) return; // a node that did not open never delivers
    int timer = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    // The reader thread blocks in read (opened non-blocking only so that opening a FIFO never waits).
    if (timer < 0 || fcntl(fd, F_SETFL, 0) != 0) {
        printLine("[MotionSensor] Cannot read " + nodePath.string() + ": " + std::strerror(errno) + ".");
        if (timer >= 0) ::close(timer);
        return;
    }
    readAhead = std::make_shared<HidrawReadAhead>(std::exchange(fd, -1), timer, bufferLength ? bufferLength : 64);
    notifier = std::make_unique<QSocketNotifier>(timer, QSocketNotifier::Read);
    QObject::connect(notifier.get(), &QSocketNotifier::activated, notifier.get(), [this] { deliverReadAhead(); });
    std::thread([shared = readAhead] { shared->readReports(); }).detach();
}

std::size_t HidrawDevice::wakeupCount() const {
    return readAhead ? readAhead->wakeups.load() : wakeupsWhenClosed;
}

void HidrawDevice::deliverReadAhead() {
    if (!readAhead) return;
    ++readAhead->wakeups;
    std::uint64_t expirations = 0;
    [[maybe_unused]] ssize_t cleared = ::read(readAhead->timer, &expirations, sizeof expirations);
    std::vector<std::uint8_t> bytes;
    std::vector<std::pair<double, std::size_t>> reports;
    std::optional<std::string> failure;
    {
        std::lock_guard lock(readAhead->mutex);
        // Swapping keeps both sides' storage: no allocation once the batches have their usual size.
        std::swap(bytes, readAhead->bytes);
        std::swap(reports, readAhead->reports);
        failure = std::move(readAhead->failure);
        readAhead->wakeScheduled = false;
    }
    std::size_t offset = 0;
    for (auto [readTime, length] : reports) {
        std::size_t delivered = std::min(length, bufferLength);
        if (handler && buffer) {
            std::copy_n(bytes.data() + offset, delivered, buffer);
            deliveringTime = readTime;
            handler(buffer, static_cast<long>(delivered));
        }
        offset += length;
    }
    deliveringTime.reset();
    {
        std::lock_guard lock(readAhead->mutex);
        bytes.clear();
        reports.clear();
        if (readAhead->bytes.empty()) std::swap(bytes, readAhead->bytes);
        if (readAhead->reports.empty()) std::swap(reports, readAhead->reports);
    }
    if (failure) {
        printLine("[MotionSensor] Accelerometer " + nodePath.string() + " stopped delivering: " + *failure + ".");
        closeNode();
    }
}

void HidrawDevice::closeNode() {
    if (notifier) {
        notifier->setEnabled(false);
        // We may be inside the notifier's own signal.
        notifier.release()->deleteLater();
    }
    if (readAhead) {
        // The reader thread ends after its current read; with our writer closed, a FIFO without outside
        // writers ends that read at once.
        readAhead->stopped = true;
        wakeupsWhenClosed = readAhead->wakeups;
        readAhead.reset();
    }
    if (keepAliveWriter >= 0) ::close(keepAliveWriter);
    if (fd >= 0) ::close(fd);
    keepAliveWriter = fd = -1;
}

std::filesystem::path HidrawManager::rootFromEnvironment(const char* name, const char* fallback) {
    const char* value = std::getenv(name);
    return value && *value ? value : fallback;
}

HidrawManager::HidrawManager()
    : HidrawManager(rootFromEnvironment("KNOKLE_HIDRAW_SYSFS_ROOT", "/sys"),
                    rootFromEnvironment("KNOKLE_HIDRAW_DEV_ROOT", "/dev")) {}

HidrawManager::HidrawManager(std::filesystem::path sysfsRoot, std::filesystem::path devRoot)
    : sysfsRoot(std::move(sysfsRoot)), devRoot(std::move(devRoot)) {}

void HidrawManager::setDeviceMatching(const HidDeviceMatching& m) {
    matching = m;
}

int HidrawManager::open() {
    std::error_code ec;
    std::filesystem::directory_iterator probe(classFolder(), ec);
    return ec ? ec.value() : 0;
}

std::optional<std::vector<std::shared_ptr<HidDevice>>> HidrawManager::matchedDevices() {
    std::error_code ec;
    std::filesystem::directory_iterator entries(classFolder(), ec);
    if (ec) return std::nullopt;
    std::vector<std::pair<long, std::string>> names;
    for (const auto& entry : entries) {
        std::string name = entry.path().filename().string();
        if (name.rfind("hidraw", 0) == 0 && nodeNumber(name) >= 0) names.emplace_back(nodeNumber(name), name);
    }
    std::sort(names.begin(), names.end());
    std::vector<std::shared_ptr<HidDevice>> devices;
    for (const auto& [number, name] : names) {
        std::filesystem::path folder = classFolder() / name / "device";
        auto uevent = readFile(folder / "uevent");
        auto info = uevent ? parseHidUevent(*uevent) : std::nullopt;
        if (!info) continue;
        if (matching && (info->vendorID != matching->vendorID || info->productID != matching->productID)) continue;
        if (matching) {
            auto descriptor = readFile(folder / "report_descriptor");
            if (!descriptor) continue;
            auto usages = topLevelUsages(std::vector<std::uint8_t>(descriptor->begin(), descriptor->end()));
            HidUsage wanted{matching->usagePage, matching->usage};
            if (std::find(usages.begin(), usages.end(), wanted) == usages.end()) continue;
        }
        devices.push_back(std::make_shared<HidrawDevice>(devRoot / name, *info));
    }
    return devices;
}

} // namespace knokle
