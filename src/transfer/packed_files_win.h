#pragma once
// The files that one request for ranges of a pack brings: each one from
// its first byte to its last through the body of its form (decoded within
// its bounds when compressed) into a temporary file that takes its local
// path only when whole, checked as a file on its own is, and then handed
// to the batch as fetched, or back to the schedule to be fetched on its own
// (a copy that is not the one listed, a form that does not decode, a file
// that cannot be stored).
#include "transfer/ordered_jobs.h"
#include "transfer/pack_ranges.h"
#include "transfer/pack_schedule.h"
#include "transfer/response_body_win.h"
#include "transfer/server_address.h"
#include "transfer/transfer_attempt.h"
#include "transfer/transfer_win.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class CPackedFiles final : public CMemberStream::Receiver {
public:
    // `files` is the batch (members' items index it); `report` receives an
    // attempt for each file that did not pass.
    CPackedFiles(const std::vector<RemoteFile>& files, uint64_t sizeLimit, const S_UpdateSerivceAddr& server,
                 const PackRequest& request, CPackSchedule& schedule, JobItems& items,
                 std::function<void(const TransferAttempt&)> report);

    bool Begin(const PackMember& member) override;
    bool Write(const PackMember& member, std::string_view bytes) override;
    bool End(const PackMember& member) override;
    void Abandon(const PackMember& member) override;

    size_t Arrived() const { return arrived_; }
    // Whether the request's result is no longer wanted: a stop, or a failed
    // file before the first it asked for.
    bool Cancelled() const;

private:
    // The member goes on its own; `why` is for the log.
    void OnItsOwn(const PackMember& member, const Failure& why);

    const std::vector<RemoteFile>& files_;
    const uint64_t sizeLimit_;
    const S_UpdateSerivceAddr& server_;
    const PackRequest& request_;
    CPackSchedule& schedule_;
    JobItems& items_;
    std::function<void(const TransferAttempt&)> report_;
    std::unique_ptr<CBodySink> body_;  // of the member begun
    BodyStatus written_ = BodyStatus::Ok;
    size_t arrived_ = 0;
};
