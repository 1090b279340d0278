#include "controller/DefaultsCommand.h"
#include "MemoryUserDefaults.h"

#include <gtest/gtest.h>
#include <sstream>

using namespace knokle;

TEST(DefaultsCommand, ArgumentVectors) {
    using I = std::int64_t;
    // arguments, status, "k" afterwards (nothing: absent), standard output, part of the error output ("": none)
    using Case = std::tuple<std::vector<std::string>, int, std::optional<StoredValue>, std::string, std::string>;
    const Case cases[] = {
        // clang-format off
        {{"write", "k", "-bool", "true"}, 0, true, "", ""}, {{"write", "k", "-bool", "yes"}, 0, true, "", ""},
        {{"write", "k", "-bool", "1"}, 0, true, "", ""}, {{"write", "k", "-bool", "no"}, 0, false, "", ""},
        {{"write", "k", "-bool", "0"}, 0, false, "", ""}, {{"write", "k", "-bool", "TRUE"}, 1, I(5), "", "-bool takes"},
        {{"write", "k", "-int", "-9223372036854775808"}, 0, I(std::numeric_limits<I>::min()), "", ""},
        {{"write", "k", "-int", "+42"}, 0, I(42), "", ""},
        {{"write", "k", "-int", "9223372036854775808"}, 1, I(5), "", "-int takes"},
        {{"write", "k", "-int", "4.5"}, 1, I(5), "", "-int takes"},
        {{"write", "k", "-float", "1e3"}, 0, 1000.0, "", ""}, {{"write", "k", "-float", "inf"}, 1, I(5), "", "finite"},
        {{"write", "k", "-float", "2.5s"}, 1, I(5), "", "finite"},
        {{"write", "k", "-string", "⌥⌘T"}, 0, std::string("⌥⌘T"), "", ""},
        {{"write", "k", "-date", "x"}, 1, I(5), "", "unknown type"}, {{"write", "k", "-int"}, 1, I(5), "", "usage"},
        {{"read", "k"}, 0, I(5), "5\n", ""}, {{"read", "missing"}, 1, I(5), "", "\"missing\" is not set"},
        {{"read"}, 0, I(5), "{\n    \"k\": 5,\n    \"s\": \"a\\\"b\"\n}\n", ""},
        {{"delete", "k"}, 0, std::nullopt, "", ""}, {{"delete", "missing"}, 0, I(5), "", ""},
        {{}, 1, I(5), "", "usage"}, {{"frobnicate"}, 1, I(5), "", "usage"},
        // Text that is not UTF-8 (truncated, a surrogate, overlong) never reaches the store.
        {{"write", "k", "-string", "\xff"}, 1, I(5), "", "the value is not valid UTF-8 text"},
        {{"write", "k\xc3", "-bool", "true"}, 1, I(5), "", "the key is not valid UTF-8 text"},
        {{"write", "k\xed\xa0\x80", "-bool", "true"}, 1, I(5), "", "the key is not valid UTF-8 text"},
        {{"delete", "\xc0\xaf"}, 1, I(5), "", "the key is not valid UTF-8 text"},
        // clang-format on
    };
    for (const auto& [args, status, storedAfter, printed, errContains] : cases) {
        test::MemoryUserDefaults store;
        store.values["k"] = I(5);
        store.values["s"] = std::string("a\"b");
        std::ostringstream out, err;
        std::string label;
        for (const auto& a : args)
            label += a + " ";
        EXPECT_EQ(runDefaultsCommand(args, store, out, err), status) << label;
        EXPECT_EQ(store.object("k"), storedAfter) << label;
        EXPECT_EQ(out.str(), printed) << label;
        if (errContains.empty())
            EXPECT_EQ(err.str(), "") << label;
        else
            EXPECT_NE(err.str().find(errContains), std::string::npos) << label << ": " << err.str();
    }
}

TEST(DefaultsCommand, AWriteTheStoreDidNotKeepIsAFailure) {
    test::MemoryUserDefaults store;
    store.failWrites = true;
    std::ostringstream out, err;
    EXPECT_EQ(runDefaultsCommand({"write", "tapsActive", "-bool", "true"}, store, out, err), 1);
    EXPECT_NE(err.str().find("could not be saved"), std::string::npos);
}
