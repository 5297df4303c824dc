#pragma once
// Whole-file reads, appends and atomic replacement on GBK paths (existence
// and sizes are path_info.h's, folders directory_ex.h's). On Windows every
// path goes through LongPath (path_info.h), so paths beyond MAX_PATH and
// GBK names work; natively '\' separates folders like '/'.
#include "base/failure.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

enum class FileReadStatus {
    Ok,
    Missing,   // no such file (or folder on the way)
    TooLarge,  // larger than the limit; nothing was read
    Failed,    // exists but could not be opened or read
};

// Reads the whole file into bytes (cleared first).
FileReadStatus ReadWholeFile(const std::string& path, size_t maxBytes, std::string& bytes);

// Existence questions are path_info.h's (FileExists, DirectoryExists).
Status RemoveFile(const std::string& path);  // succeeded when it is gone afterwards

// Appends the bytes at the end of the file, creating it when missing. Others
// may read the file meanwhile. Fails when not every byte was written.
Status AppendToFile(const std::string& path, std::string_view bytes);

// A fresh name in the same folder as path, for a file that will be moved over
// path: "<name>.<unique>.tmp", never ending in ".bak" (which the updater
// deletes as leftovers).
std::string MakeTempPathBeside(const std::string& path);

// The two halves of an atomic replacement. WriteTempFileBeside writes the
// bytes to a fresh temporary file beside path, flushes them to the disk and
// sets tempPath to it; on failure nothing is left behind. MoveFileOver then
// replaces path with it (write-through); on failure the temporary file is
// deleted and path is as it was.
Status WriteTempFileBeside(const std::string& path, std::string_view bytes, std::string& tempPath);
Status MoveFileOver(const std::string& tempPath, const std::string& path);

// Both halves: afterwards path holds either its old bytes or the new ones,
// never a mixture, whenever the process or the machine stops.
inline Status ReplaceFileAtomically(const std::string& path, std::string_view bytes) {
    std::string temp;
    if (Status written = WriteTempFileBeside(path, bytes, temp); !written) return written;
    return MoveFileOver(temp, path);
}

// Hands the file's bytes to consume in large blocks, in order, without
// holding the whole file. False when the path is no regular file that can
// be opened and read to its end. Others may hold the file open for writing
// or deleting meanwhile (installed files may be in use by the client).
bool ReadFileBlocks(const std::string& path, const std::function<void(const uint8_t* bytes, size_t count)>& consume);
