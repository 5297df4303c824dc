#include "transfer/packed_files_win.h"

#include "base/path_info.h"
#include "transfer/gzip_decoder.h"

#include <algorithm>

CPackedFiles::CPackedFiles(const std::vector<RemoteFile>& files, uint64_t sizeLimit, const S_UpdateSerivceAddr& server,
                           const PackRequest& request, CPackSchedule& schedule, JobItems& items,
                           std::function<void(const TransferAttempt&)> report)
    : files_(files), sizeLimit_(sizeLimit), server_(server), request_(request), schedule_(schedule), items_(items),
      report_(std::move(report)) {}

bool CPackedFiles::Cancelled() const {
    return request_.Plan.Members.empty() || items_.Cancelled(request_.Plan.Members.front().Item);
}

void CPackedFiles::OnItsOwn(const PackMember& member, const Failure& why) {
    TransferAttempt attempt;
    attempt.Server = ServerName(server_);
    attempt.RemoteName = files_[member.Item].Name;
    attempt.Pack = request_.Pack;
    attempt.End = AttemptEnd::Failed;
    attempt.Why = why;
    report_(attempt);
    schedule_.OnItsOwn(request_, member.Item);
}

bool CPackedFiles::Begin(const PackMember& member) {
    const RemoteFile& file = files_[member.Item];
    const PackedForm& form = *file.Packed;
    if (form.WindowBits) {
        const uint64_t maxOutput = std::min(GzipOutputBound(file.MaxSize, member.Length), sizeLimit_);
        body_ = std::make_unique<CDecodedBody>(file.LocalPath, std::string(),
                                               GzipBounds{member.Length, maxOutput, *form.WindowBits},
                                               CPartialFile::Fresh{});
    } else {
        body_ = std::make_unique<CPlainBody>(file.LocalPath, CPartialFile::Fresh{});
    }
    written_ = body_->OpenStatus();
    if (file.Written) body_->Observe(file.Written);
    JobProgress& progress = items_.Progress(member.Item);
    progress.Total = member.Length;
    progress.Received = 0;
    if (written_ != BodyStatus::LocalError) return true;
    body_.reset();
    OnItsOwn(member, LastLocalFailure("the file cannot be written"));
    return false;
}

bool CPackedFiles::Write(const PackMember& member, std::string_view bytes) {
    items_.Progress(member.Item).Received += bytes.size();
    // A compressed form that does not decode takes no more bytes; the
    // member goes on its own at its end.
    if (written_ != BodyStatus::Ok) return true;
    written_ = body_->Write(bytes.data(), bytes.size());
    if (written_ != BodyStatus::LocalError) return true;
    body_.reset();
    OnItsOwn(member, LastLocalFailure("the file cannot be written"));
    return false;
}

bool CPackedFiles::End(const PackMember& member) {
    const RemoteFile& file = files_[member.Item];
    if (written_ == BodyStatus::Ok) written_ = body_->Commit();
    const uint64_t size = body_->CommittedSize(member.Length);
    body_.reset();
    if (written_ == BodyStatus::LocalError) {
        OnItsOwn(member, LastLocalFailure("the file cannot be written"));
        return false;
    }
    if (written_ == BodyStatus::Undecodable) {
        OnItsOwn(member, Failure{FailureKind::Undecodable});
        return true;
    }
    if (file.Check) {
        if (const Status checked = file.Check(file.LocalPath, server_); !checked) {
            DeleteFileW(LongPath(file.LocalPath).c_str());
            OnItsOwn(member, checked.Why());
            return true;
        }
    }
    schedule_.Delivered(request_, member.Item);
    items_.Succeeded(member.Item, size);
    ++arrived_;
    return true;
}

void CPackedFiles::Abandon(const PackMember&) { body_.reset(); }
