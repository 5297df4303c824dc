#pragma once
// Where the body of an answer goes while it arrives: straight into the
// local file's partial download, or through a decoder first. The attempt
// that receives the body does not care which.
#include "transfer/partial_file_win.h"

#include <cstddef>
#include <cstdint>

enum class BodyStatus {
    Ok,
    LocalError,   // the local file refused the bytes (GetLastError says why)
    Undecodable,  // the body is not what it claims to be; another form of the file may do
};

class CBodySink {
public:
    virtual ~CBodySink() = default;
    // Whether the sink is ready for the body.
    virtual BodyStatus OpenStatus() const = 0;
    virtual BodyStatus Write(const void* data, size_t size) = 0;
    // The body is complete: the local path gets the file.
    virtual BodyStatus Commit() = 0;
    // Bytes of the file that Commit gave the local path, for a body of
    // bodyBytes in all (a continued download's earlier bytes included).
    virtual uint64_t CommittedSize(uint64_t bodyBytes) const = 0;
};

// The body is the file.
class CPlainBody final : public CBodySink {
public:
    template <typename Start>
    CPlainBody(const std::string& localPath, const Start& start) : file_(localPath, start) {}

    BodyStatus OpenStatus() const override { return file_.IsOpen() ? BodyStatus::Ok : BodyStatus::LocalError; }
    BodyStatus Write(const void* data, size_t size) override {
        return file_.Write(data, size) ? BodyStatus::Ok : BodyStatus::LocalError;
    }
    BodyStatus Commit() override { return file_.Commit() ? BodyStatus::Ok : BodyStatus::LocalError; }
    uint64_t CommittedSize(uint64_t bodyBytes) const override { return bodyBytes; }

private:
    CPartialFile file_;
};
