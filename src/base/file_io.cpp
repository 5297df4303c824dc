#include "base/file_io.h"

Status ReplaceFileAtomically(const std::string& path, std::string_view bytes) {
    std::string temp;
    if (Status written = WriteTempFileBeside(path, bytes, temp); !written) return written;
    return MoveFileOver(temp, path);
}
