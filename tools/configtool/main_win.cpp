// configtool.exe: the wide command line is converted to GBK, the texts of
// every configuration file, so that arguments need not fit the system's code page.
#include "config_tool.h"

#include "base/process_arguments_win.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>

namespace {
void WriteBinary(FILE* stream, const std::string& bytes) {
    // Binary: values and dumps keep their bytes, CRLF included, unchanged.
    _setmode(_fileno(stream), _O_BINARY);
    fwrite(bytes.data(), 1, bytes.size(), stream);
    fflush(stream);
}
}  // namespace

int main() {
    std::string out, err;
    const int exitCode = RunConfigTool(ProcessArguments(), out, err);
    WriteBinary(stdout, out);
    WriteBinary(stderr, err);
    return exitCode;
}
