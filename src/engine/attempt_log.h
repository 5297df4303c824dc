#pragma once
// The transfer's attempts as the run log shows them: a line for each
// attempt that did not end with its file (which server, which file, why)
// or that continued an earlier download, one for each patch applied or
// given up, one for what a server answered to a pack's ranges, and a count
// of the bytes that travelled and of the requests, for the line that sums
// up the fetch.
#include "engine/run_log.h"
#include "transfer/transfer_attempt.h"

#include <atomic>
#include <cstdint>
#include <string>

// "NAME from host:port: http-status (HTTP 404) [1024 bytes, resumed]",
// naming only what the attempt has (a pack's ranges, the files that
// arrived in it, the pack a file came in).
std::string DescribeAttempt(const TransferAttempt& attempt);
// "ranges: host:port answered 37 ranges of packs/<hex>.pack with 206
// multipart/byteranges: the run asks it for up to 100 ranges per request".
std::string DescribeRangeLesson(const TransferAttempt& attempt);

class CAttemptLog {
public:
    explicit CAttemptLog(CRunLog& log) : log_(log) {}

    // Safe from the transfer's threads.
    void Observe(const TransferAttempt& attempt);
    // An observer for a transfer that lives no longer than this object.
    AttemptObserver Observer() {
        return [this](const TransferAttempt& attempt) { Observe(attempt); };
    }

    // Body bytes received by every attempt so far, failed ones included.
    uint64_t BytesReceived() const { return bytes_; }
    // Requests sent so far: one per attempt.
    uint64_t Requests() const { return requests_; }

private:
    CRunLog& log_;
    std::atomic<uint64_t> bytes_{0};
    std::atomic<uint64_t> requests_{0};
};
