#pragma once

#include <functional>
#include <string_view>

namespace knokle {

// Writes one diagnostic line (a line feed is added) to standard output with a single write, so that
// lines from several threads never interleave.
void printLine(std::string_view line);

// Tests capture the lines instead; an empty sink restores standard output. Returns the previous sink.
using LineSink = std::function<void(std::string_view)>;
LineSink setLineSink(LineSink sink);

} // namespace knokle
