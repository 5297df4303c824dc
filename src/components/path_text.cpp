#include "components/path_text.h"

size_t FolderPartLength(std::string_view path) {
    size_t end = 0;
    for (size_t i = 0; i < path.size(); ++i) {
        const auto c = static_cast<unsigned char>(path[i]);
        if (c >= 0x81 && c <= 0xFE) {
            ++i;
        } else if (c == '\\' || c == '/') {
            end = i + 1;
        }
    }
    return end;
}

bool EndsWithSeparator(std::string_view path) { return !path.empty() && FolderPartLength(path) == path.size(); }

std::string WithSeparator(std::string folder, char separator) {
    if (!folder.empty() && !EndsWithSeparator(folder)) folder += separator;
    return folder;
}

std::string WithoutTrailingSeparators(std::string path) {
    while (EndsWithSeparator(path)) path.pop_back();
    return path;
}
