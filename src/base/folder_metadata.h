#pragma once
// What a folder's directory says about each of its files, read with one
// directory query per folder instead of opening every file: enough to tell
// that a file has not been touched since it was last read.
#include "base/failure.h"

#include <cstdint>
#include <string>
#include <vector>

// Times are ticks of 100 nanoseconds since 1601-01-01 UTC (FILETIME) on
// both builds.
struct FileMetadata {
    std::string Name;  // GBK, within its folder
    uint64_t Size = 0;
    int64_t LastWriteTime = 0;  // any program can set it back (SetFileTime)
    // Moves with every write, rename and attribute change; setting it takes
    // a deliberate low-level call (on Linux no call sets it back at all).
    int64_t ChangeTime = 0;
    uint64_t FileId = 0;  // the volume's number for the file; 0 when it has none
};

enum class FolderReadStatus {
    Ok,
    Missing,  // no such folder
    Failed,   // exists but could not be listed
};

struct FolderMetadata {
    FolderReadStatus Status = FolderReadStatus::Failed;
    Failure Why = {};  // when not Ok
    // Plain files only, in directory order: folders, links and other
    // reparse points are left out (a link's own entry says nothing about
    // the file it leads to).
    std::vector<FileMetadata> Files;
};

FolderMetadata ReadFolderMetadata(const std::string& folder);

// Whether the volume that folder lies on keeps change times and file ids
// that ordinary calls cannot set back (NTFS, ReFS, Linux file systems).
// FAT and exFAT have neither: their "change time" is the last-write time.
bool KeepsChangeTimes(const std::string& folder);

// Whether folder is a link (a junction, a volume mount point, a symbolic
// link): only through one can a folder's contents lie on another volume
// than the folder above it.
bool IsLinkedFolder(const std::string& folder);

// How many names (hard links) the file has; 0 when that cannot be asked.
// NTFS brings a directory entry up to date only for the name a writer
// used, so a file with several names can look unchanged under the others.
uint32_t FileLinkCount(const std::string& path);

// The system clock in the ticks above.
int64_t CurrentFileTime();

// Ticks per second.
constexpr int64_t kFileTimeTicksPerSecond = 10'000'000;
