#pragma once

#include "common/DiagnosticOutput.h"

#include <mutex>
#include <string>
#include <vector>

namespace knokle::test {

// Collects the diagnostic lines printed while it lives.
class LineCapture {
public:
    LineCapture() {
        previous = setLineSink([this](std::string_view line) {
            std::lock_guard lock(mutex);
            captured.emplace_back(line);
        });
    }
    ~LineCapture() { setLineSink(std::move(previous)); }
    LineCapture(const LineCapture&) = delete;
    LineCapture& operator=(const LineCapture&) = delete;

    std::vector<std::string> lines() const {
        std::lock_guard lock(mutex);
        return captured;
    }
    void clear() {
        std::lock_guard lock(mutex);
        captured.clear();
    }

private:
    LineSink previous;
    mutable std::mutex mutex;
    std::vector<std::string> captured;
};

} // namespace knokle::test
