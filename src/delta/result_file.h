#pragma once
// The file a patch makes (GBK path): written under a temporary name beside
// its path and moved there only when it is complete, so the path never
// holds a half-made or a wrong result. Not committed, the temporary file is
// removed.
#include "delta/byte_access.h"

#include <memory>
#include <string>

class CResultFile final : public CByteSink {
public:
    explicit CResultFile(const std::string& path);
    ~CResultFile() override;
    CResultFile(const CResultFile&) = delete;
    CResultFile& operator=(const CResultFile&) = delete;

    Status OpenStatus() const;
    Status Write(const uint8_t* bytes, size_t count) override;
    // Closes the file and moves it over the path; on Windows the bytes are
    // flushed first, since the updater moves a staged result into place by
    // a rename.
    Status Commit();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};
