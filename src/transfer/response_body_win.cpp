#include "transfer/response_body_win.h"

CDecodedBody::CDecodedBody(const std::string& localPath, const GzipBounds& bounds)
    : decoded_(localPath, CPartialFile::Fresh{}),
      decoder_(bounds, [this](std::string_view block) { return decoded_.Write(block.data(), block.size()); }) {
    if (!decoded_.IsOpen()) opened_ = BodyStatus::LocalError;
}

CDecodedBody::CDecodedBody(const std::string& localPath, const std::string&, const GzipBounds& bounds,
                           CPartialFile::Fresh)
    : CDecodedBody(localPath, bounds) {}

CDecodedBody::CDecodedBody(const std::string& localPath, const std::string& keptPath, const GzipBounds& bounds,
                           const ResumeInfo& info)
    : CDecodedBody(localPath, bounds) {
    if (opened_ != BodyStatus::Ok) return;
    kept_.emplace(keptPath, info);
    if (!kept_->IsOpen()) opened_ = BodyStatus::LocalError;
}

CDecodedBody::CDecodedBody(const std::string& localPath, const std::string& keptPath, const GzipBounds& bounds,
                           CPartialFile::Continued, const std::function<bool()>& stopRequested)
    : CDecodedBody(localPath, bounds) {
    if (opened_ != BodyStatus::Ok) return;
    BodyStatus status = BodyStatus::Ok;
    const bool read = ReadPartialBytes(keptPath, [&](std::string_view block) {
        if (stopRequested()) return false;
        status = Decode(block);
        return status == BodyStatus::Ok;
    });
    if (status == BodyStatus::Undecodable) DropResumePoint(keptPath);
    if (status != BodyStatus::Ok || !read) {
        opened_ = status != BodyStatus::Ok ? status : BodyStatus::LocalError;
        return;
    }
    kept_.emplace(keptPath, CPartialFile::Continued{});
    if (!kept_->IsOpen()) opened_ = BodyStatus::LocalError;
}

// The decoded temporary file goes with its partial file; the kept
// compressed bytes stay for the next attempt.
CDecodedBody::~CDecodedBody() = default;

BodyStatus CDecodedBody::Decode(std::string_view compressed) {
    switch (decoder_.Feed(compressed)) {
    case GzipStatus::NeedsMore:
    case GzipStatus::Finished:
        return BodyStatus::Ok;
    case GzipStatus::WriteFailed:
        return BodyStatus::LocalError;
    case GzipStatus::OutputTooLarge:
    case GzipStatus::InputTooLarge:
    case GzipStatus::Corrupt:
    case GzipStatus::EndedEarly:
        break;
    }
    return BodyStatus::Undecodable;
}

BodyStatus CDecodedBody::Refuse() {
    if (kept_) kept_->Discard();
    return BodyStatus::Undecodable;
}

BodyStatus CDecodedBody::Write(const void* data, size_t size) {
    if (kept_ && !kept_->Write(data, size)) return BodyStatus::LocalError;
    const BodyStatus status = Decode(std::string_view(static_cast<const char*>(data), size));
    return status == BodyStatus::Undecodable ? Refuse() : status;
}

BodyStatus CDecodedBody::Commit() {
    if (decoder_.Finish() != GzipStatus::Finished) return Refuse();
    if (!decoded_.Commit()) return BodyStatus::LocalError;
    if (kept_) kept_->Discard();
    return BodyStatus::Ok;
}
