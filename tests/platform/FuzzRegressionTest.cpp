// Every input the fuzzers ever found a fault with (and the seeds they started from) goes through the same entry
// point again; a fault that comes back crashes or trips a sanitizer here.
#include "FuzzTargets.h"
#include "common/AtomicFile.h"

#include <gtest/gtest.h>

using namespace knokle;

TEST(FuzzRegression, EveryKeptInputOfEveryTarget) {
    const std::filesystem::path root = std::filesystem::path(KNOKLE_SOURCE_DIR) / "tests" / "data" / "fuzz";
    for (const auto& target : fuzz::targets()) {
        int inputs = 0;
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(root / target.name, ec)) {
            auto bytes = readWholeFile(entry.path());
            ASSERT_TRUE(bytes) << entry.path();
            target.run(reinterpret_cast<const std::uint8_t*>(bytes->data()), bytes->size());
            ++inputs;
        }
        EXPECT_GT(inputs, 0) << target.name << " has no kept inputs";
    }
}
