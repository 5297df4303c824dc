#pragma once
// One request of a file to one server, as the transfer reports it to an
// optional observer (a run log): which server, which file, how it ended.
// A file may take several attempts: the next server after a failure, one
// more try on a fresh connection, or a restart without Range.
#include "base/failure.h"

#include <cstdint>
#include <functional>
#include <string>

enum class AttemptEnd {
    Fetched,    // the whole file is in place
    Failed,     // Why says why
    Cancelled,  // stopped by the caller, or no longer needed
};

struct TransferAttempt {
    std::string Server;      // ServerName() of the server asked
    std::string RemoteName;  // as the manifest lists it (GBK)
    AttemptEnd End = AttemptEnd::Fetched;
    Failure Why = {};         // for a failed attempt
    uint64_t Bytes = 0;       // body bytes received by this attempt
    bool Resumed = false;     // continued a partial download (206)
    // The attempt at a file's converted form (transfer_win.h) that decided
    // it: fetched, the file was made from it; failed, the file is asked for
    // in its other forms next.
    bool Converted = false;
};

// Called on the transferring threads, one call at a time.
using AttemptObserver = std::function<void(const TransferAttempt&)>;
