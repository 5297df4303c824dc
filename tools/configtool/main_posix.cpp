// configtool on Linux: arguments arrive in UTF-8, the file system's
// encoding, and are turned into GBK like every text inside. Values and dumps
// are written as the GBK bytes of the file.
#include "config_tool.h"

#include "base/gbk_text.h"

#include <cstdio>

int main(int argc, char** argv) {
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) arguments.push_back(Utf8ToGbk(argv[i]));
    std::string out, err;
    const int exitCode = RunConfigTool(arguments, out, err);
    fwrite(out.data(), 1, out.size(), stdout);
    fwrite(err.data(), 1, err.size(), stderr);
    return exitCode;
}
