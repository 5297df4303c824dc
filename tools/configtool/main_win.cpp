// configtool.exe: the wide command line is converted to GBK, the texts of
// every configuration file, so that arguments need not fit the system's code page.
#include "config_tool.h"

#include "components/wide_text_win.h"

#include <windows.h>
#include <shellapi.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <memory>

namespace {
struct LocalFreer {
    void operator()(LPWSTR* memory) const { LocalFree(memory); }
};

void WriteBinary(FILE* stream, const std::string& bytes) {
    // Binary: values and dumps keep their bytes, CRLF included, unchanged.
    _setmode(_fileno(stream), _O_BINARY);
    fwrite(bytes.data(), 1, bytes.size(), stream);
    fflush(stream);
}
}  // namespace

int main() {
    int count = 0;
    const std::unique_ptr<LPWSTR, LocalFreer> wide(CommandLineToArgvW(GetCommandLineW(), &count));
    std::vector<std::string> arguments;
    for (int i = 1; wide && i < count; ++i) arguments.push_back(Narrow(wide.get()[i]));
    std::string out, err;
    const int exitCode = RunConfigTool(arguments, out, err);
    WriteBinary(stdout, out);
    WriteBinary(stderr, err);
    return exitCode;
}
