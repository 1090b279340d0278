#include "viewmodels/PreviewLevel.h"

#include <gtest/gtest.h>

using namespace knokle;

TEST(PreviewLevel, TheFirstLevelArgumentCountsWhenItIsANumber) {
    const std::pair<std::vector<std::string>, std::optional<double>> cases[] = {
        {{"knokle", "--render-cal-preview"}, std::nullopt},
        {{"--level=1e-1", "--level=2"}, 0.1},
        {{"--level=abc", "--level=0.9"}, std::nullopt},
        {{"--level=", "--level=0.9"}, std::nullopt},
        {{"--level=0.9x"}, std::nullopt},
        {{"x--level=0.3", "--level=0.4"}, 0.4}};
    for (const auto& [args, level] : cases)
        EXPECT_EQ(previewLevel(args), level) << (args.empty() ? "" : args.back());
}
