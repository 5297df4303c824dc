#pragma once
// Where the body of an answer goes while it arrives: straight into the
// local file's partial download, or through a decoder first. The attempt
// that receives the body does not care which.
#include "transfer/gzip_decoder.h"
#include "transfer/partial_file_win.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

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
    // Every piece of the file itself that the sink writes goes to
    // `observer` as well (decoded, for a compressed form).
    virtual void Observe(WrittenBytes observer) = 0;
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
    void Observe(WrittenBytes observer) override { file_.Observe(std::move(observer)); }
    BodyStatus Commit() override { return file_.Commit() ? BodyStatus::Ok : BodyStatus::LocalError; }
    uint64_t CommittedSize(uint64_t bodyBytes) const override { return bodyBytes; }

private:
    CPartialFile file_;
};

// The body of a file's compressed form ("NAME.gz"), decoded as it arrives
// into a temporary file that replaces the local path only when the stream
// ended exactly where it should, within its bounds.
//
// A large compressed body is also kept as a partial download of its own
// (at keptPath, "<local path>.gz" for a gzip form), so that a later attempt
// can ask only for the rest of the compressed stream: that attempt decodes
// the kept bytes again before the new ones.
class CDecodedBody final : public CBodySink {
public:
    // Decodes a body that is not kept.
    CDecodedBody(const std::string& localPath, const std::string& keptPath, const GzipBounds& bounds,
                 CPartialFile::Fresh);
    // Decodes a body that is kept as the start of a partial download that `info` describes.
    CDecodedBody(const std::string& localPath, const std::string& keptPath, const GzipBounds& bounds,
                 const ResumeInfo& info);
    // Decodes the kept bytes of the compressed partial download, then the
    // body that continues it. Undecodable when the kept bytes are; they are
    // then removed. stopRequested is asked between blocks of the kept bytes
    // (a large file takes a while); a stop leaves them as they are and the
    // body unopened.
    CDecodedBody(const std::string& localPath, const std::string& keptPath, const GzipBounds& bounds,
                 CPartialFile::Continued, const std::function<bool()>& stopRequested);
    ~CDecodedBody() override;

    BodyStatus OpenStatus() const override { return opened_; }
    BodyStatus Write(const void* data, size_t size) override;
    // Kept bytes decoded again when the sink opened were the file's first,
    // and went by unseen: the observer sees the rest only.
    void Observe(WrittenBytes observer) override { decoded_.Observe(std::move(observer)); }
    BodyStatus Commit() override;
    uint64_t CommittedSize(uint64_t) const override { return decoder_.OutputBytes(); }

private:
    CDecodedBody(const std::string& localPath, const GzipBounds& bounds);
    BodyStatus Decode(std::string_view compressed);
    // The stream is unusable: its kept bytes would only fail again.
    BodyStatus Refuse();

    CPartialFile decoded_;
    std::optional<CPartialFile> kept_;
    CGzipDecoder decoder_;
    BodyStatus opened_ = BodyStatus::Ok;
};
