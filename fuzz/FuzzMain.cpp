// One libFuzzer executable per target; KNOKLE_FUZZ_TARGET names it.
#include "FuzzTargets.h"

#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static knokle::fuzz::Target target = [] {
        for (const auto& named : knokle::fuzz::targets())
            if (std::strcmp(named.name, KNOKLE_FUZZ_TARGET) == 0) return named.run;
        std::abort();
    }();
    target(data, size);
    return 0;
}
