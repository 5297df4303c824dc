#include "transfer/remote_url.h"

#include <gtest/gtest.h>

namespace {
struct Case {
    uint32_t type;
    std::string name;
    std::string expected;
};

TEST(BuildRemotePath, EncodesNamesForTheServerTree) {
    const Case cases[] = {
        {1, "UpdateConfig.ini", "/1/UpdateConfig.ini"},
        {7, "config.ini", "/7/config.ini"},
        {4294967295u, "a", "/4294967295/a"},
        {1, "skin\\main\\a.png", "/1/skin/main/a.png"},
        {1, "a/b", "/1/a/b"},
        {1, "Az09-._~", "/1/Az09-._~"},
        {1, "a b%c#d?e+f&g", "/1/a%20b%25c%23d%3Fe%2Bf%26g"},
        {1, ":@!$'()*,;=[]", "/1/%3A%40%21%24%27%28%29%2A%2C%3B%3D%5B%5D"},
        // 管家.txt: GBK B9 DC BC D2 becomes UTF-8 E7 AE A1 E5 AE B6.
        {1, "\xb9\xdc\xbc\xd2.txt", "/1/%E7%AE%A1%E5%AE%B6.txt"},
        {2, "", "/2/"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(BuildRemotePath(c.type, c.name), c.expected) << c.name;
    }
}

TEST(BuildRemotePath, NeverLetsControlOrHighBytesThrough) {
    const std::string path = BuildRemotePath(1, std::string("\x01\x7f\r\n", 4));
    EXPECT_EQ(path, "/1/%01%7F%0D%0A");
}
}  // namespace
