#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace knokle::fuzz {

// Feeds one input to one parser of outside input. A target returns normally whatever the input; a crash,
// a hang or a sanitizer report is the finding.
using Target = void (*)(const std::uint8_t* data, std::size_t size);

struct NamedTarget {
    const char* name; // also the folder of its regression inputs under tests/data/fuzz
    Target run;
};

const std::vector<NamedTarget>& targets();

} // namespace knokle::fuzz
