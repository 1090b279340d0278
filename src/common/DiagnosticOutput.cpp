#include "common/DiagnosticOutput.h"

#include <cstdio>
#include <mutex>
#include <string>
#include <utility>

namespace knokle {
namespace {

std::mutex& sinkMutex() {
    static std::mutex mutex;
    return mutex;
}

LineSink& currentSink() {
    static LineSink sink;
    return sink;
}

} // namespace

void printLine(std::string_view line) {
    {
        std::lock_guard lock(sinkMutex());
        if (currentSink()) {
            currentSink()(line);
            return;
        }
    }
    std::string text(line);
    text.push_back('\n');
    std::fwrite(text.data(), 1, text.size(), stdout);
}

LineSink setLineSink(LineSink sink) {
    std::lock_guard lock(sinkMutex());
    return std::exchange(currentSink(), std::move(sink));
}

} // namespace knokle
