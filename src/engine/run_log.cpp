#include "engine/run_log.h"

#include "base/directory_ex.h"
#include "base/file_io.h"
#include "base/path_info.h"
#include "settings/update_record.h"

namespace {
constexpr char kLineEnd[] = "\r\n";
}

CRunLog::CRunLog(std::string path, std::string runKind, size_t limitBytes)
    : path_(std::move(path)), runKind_(std::move(runKind)), limit_(limitBytes) {}

void CRunLog::Write(const std::string& line) {
    const std::string text = FormatLocalTime("%Y-%m-%d %H:%M:%S") + " [" + runKind_ + "] " + line + kLineEnd;
    const std::lock_guard<std::mutex> hold(lock_);
    CDirectoryEx::CreateMultipleDirectory(CDirectoryEx::GetFilePath(path_));
    MakeRoomFor(text.size());
    AppendToFile(path_, text);
}

// Keeps the newer half of the file, from a line's start, when the next
// line would not fit; the file is replaced whole, so a crash meanwhile
// leaves the old log or the shorter one.
void CRunLog::MakeRoomFor(size_t bytes) const {
    const int64_t size = FileSize(path_);
    if (size < 0 || static_cast<uint64_t>(size) + bytes <= limit_) return;
    std::string content;
    // A log grown past all bounds by someone else is not worth keeping.
    if (ReadWholeFile(path_, limit_ * 4, content) != FileReadStatus::Ok) content.clear();
    size_t keepFrom = content.size() > limit_ / 2 ? content.size() - limit_ / 2 : 0;
    const size_t lineStart = content.find('\n', keepFrom);
    keepFrom = lineStart == std::string::npos ? content.size() : lineStart + 1;
    ReplaceFileAtomically(path_, std::string_view(content).substr(keepFrom));
}
