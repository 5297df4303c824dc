#include "base/base64.h"

#include <gtest/gtest.h>

namespace {

TEST(Base64Test, Rfc4648VectorsBothWays) {
    const std::pair<std::string, std::string> vectors[] = {
        {"", ""},         {"f", "Zg=="},        {"fo", "Zm8="},           {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"}, {std::string("\xff\xfe\x00?", 4), "//4APw=="},
    };
    for (const auto& [bytes, text] : vectors) {
        EXPECT_EQ(EncodeBase64(bytes), text);
        std::string decoded = "stale";
        EXPECT_TRUE(DecodeBase64(text, decoded)) << text;
        EXPECT_EQ(decoded, bytes) << text;
    }
}

TEST(Base64Test, EveryByteValueAndLengthRoundTrips) {
    std::string bytes;
    for (int i = 0; i < 256; ++i) bytes += static_cast<char>(i);
    for (size_t length = 0; length <= bytes.size(); length += 1 + length / 8) {
        const std::string text = EncodeBase64(bytes.substr(0, length));
        std::string decoded;
        ASSERT_TRUE(DecodeBase64(text, decoded)) << length;
        EXPECT_EQ(decoded, bytes.substr(0, length));
    }
}

// A signature or key has exactly one spelling; every other is refused.
TEST(Base64Test, RefusesEverythingButTheCanonicalText) {
    for (const char* text : {
             "Zg",          // no padding
             "Zg=",         // padding short
             "Zg===",       // too much
             "Zh==",        // unused bits set: would decode like "Zg=="
             "Zm9=",        // the same for one pad
             "Zm9v\n",      // line end
             " Zm9v",       // blank
             "Zm 9v",
             "Zg==Zg==",    // padding inside
             "Zm-v",        // URL alphabet
             "Zm_v",
             "====",
             "A===",
         }) {
        std::string decoded = "stale";
        EXPECT_FALSE(DecodeBase64(text, decoded)) << text;
        EXPECT_TRUE(decoded.empty()) << text;
    }
    std::string decoded;
    EXPECT_FALSE(DecodeBase64(std::string_view("Zm9\0", 4), decoded));
}

}  // namespace
