#include "transfer/content_length.h"

#include <gtest/gtest.h>

namespace {
TEST(ParseContentLength, AcceptsPlainDecimalOnly) {
    const struct {
        const char* text;
        std::optional<uint64_t> value;
    } cases[] = {
        {"0", 0},
        {"4096", 4096},
        {"007", 7},
        {"18446744073709551615", UINT64_MAX},
        {"18446744073709551616", std::nullopt},
        {"99999999999999999999999", std::nullopt},
        {"", std::nullopt},
        {"-1", std::nullopt},
        {"+5", std::nullopt},
        {" 5", std::nullopt},
        {"5 ", std::nullopt},
        {"12a", std::nullopt},
        {"0x10", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseContentLength(c.text), c.value) << '"' << c.text << '"';
    }
}
}  // namespace
