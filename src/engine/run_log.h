#pragma once
// What a run did, for the person who asks afterwards: one line per step,
// appended to "UPDATE\update.log" below the application folder, with the
// local time and the kind of run. The file is bounded: once a line would
// take it past the limit, the older half is dropped. Writing the log never
// stops or fails an update; a line that cannot be written is lost.
#include <cstddef>
#include <mutex>
#include <string>

class CRunLog {
public:
    static constexpr size_t kDefaultLimit = 256 * 1024;

    // path: the log file; runKind: a short name shown on every line
    // ("silent", "silent package Maps", "dialog", "dialog package Maps").
    CRunLog(std::string path, std::string runKind, size_t limitBytes = kDefaultLimit);

    // Safe from any thread; each line is written whole.
    void Write(const std::string& line);

    const std::string& Path() const { return path_; }

private:
    void MakeRoomFor(size_t bytes) const;

    std::string path_;
    std::string runKind_;
    size_t limit_;
    std::mutex lock_;
};
