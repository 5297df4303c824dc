#pragma once
// A download's body on its way to the local path: written to a fresh file
// beside it and moved over it only when complete, so that a failed transfer
// leaves the local path as it was. The file is deleted unless committed.
#include "base/handles_win.h"

#include <cstddef>
#include <string>

class CPartialFile {
public:
    explicit CPartialFile(const std::string& localPath);
    ~CPartialFile();
    CPartialFile(const CPartialFile&) = delete;
    CPartialFile& operator=(const CPartialFile&) = delete;

    bool IsOpen() const { return static_cast<bool>(file_); }
    bool Write(const void* data, size_t size);
    // Closes the file and replaces the local path with it.
    bool Commit();

private:
    std::wstring localPath_;
    std::wstring partialPath_;
    UniqueFile file_;
    bool committed_ = false;
};
