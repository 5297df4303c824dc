#include "base/file_io.h"

bool ReplaceFileAtomically(const std::string& path, std::string_view bytes) {
    const std::string temp = WriteTempFileBeside(path, bytes);
    return !temp.empty() && MoveFileOver(temp, path);
}
