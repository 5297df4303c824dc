// Parsing a manifest grows linearly with its size: prints the time of
// manifests with 100,000, 200,000 and 400,000 file sections, the ratio of
// each to the one half its size (about 2 for linear growth), and the ratio
// to a plain line count over the same bytes (the least any parser must do).
#include "config/config_syntax.h"
#include "best_seconds.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

namespace {
std::string Manifest(int files) {
    std::string text = "[Version]\r\nVERSION=4.0.2\r\n[FILES]\r\n";
    for (int i = 0; i < files; ++i) text += "dir\\file" + std::to_string(i) + ".dll\r\n";
    for (int i = 0; i < files; ++i)
        text += "[dir\\file" + std::to_string(i) + ".dll]\r\nSIZE=123456\r\nMD5=0123456789abcdef0123456789abcdef\r\n";
    return text;
}

}  // namespace

int main() {
    double previous = 0;
    for (int files : {100000, 200000, 400000}) {
        const std::string text = Manifest(files);
        const double parse = BestSeconds([&] {
            const ConfigDocument document = ConfigDocument::Parse(text);
            if (!document.Find("dir\\file7.dll", "md5")) std::puts("lookup failed");
        });
        volatile size_t lines = 0;
        const double count = BestSeconds([&] { lines = static_cast<size_t>(std::count(text.begin(), text.end(), '\n')); });
        std::printf("%6d sections, %5.1f MiB: parse %.3f s", files, text.size() / 1048576.0, parse);
        if (previous > 0) std::printf(", x%.2f of the half size", parse / previous);
        std::printf(", x%.0f of a line count\n", parse / std::max(count, 1e-9));
        previous = parse;
    }
}
