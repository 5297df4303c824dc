#pragma once
// One request of a file to one server, as the transfer reports it to an
// optional observer (a run log): which server, which file, how it ended.
// A file may take several attempts: the next server after a failure, one
// more try on a fresh connection, or a restart without Range.
#include <cstdint>
#include <functional>
#include <string>

enum class AttemptOutcome {
    Fetched,          // the whole file is in place
    HttpStatus,       // the server answered with a status other than 200 (or 206 to a Range)
    ConnectionError,  // no connection, TLS refused, or the connection broke; Error says why
    TimedOut,         // no connection, answer or data within its time-out
    TooSlow,          // under the speed floor
    BadBody,          // a body longer or shorter than announced, without framing, or too large
    Undecodable,      // a compressed form that is corrupt, ends early or decodes past its bounds
    LocalError,       // the local file could not be written; no server can help
    Cancelled,        // stopped by the caller, or no longer needed
};

struct TransferAttempt {
    std::string Server;      // "host:port" as configured
    std::string RemoteName;  // as the manifest lists it (GBK)
    AttemptOutcome Outcome = AttemptOutcome::Fetched;
    uint32_t HttpStatus = 0;  // 0 when no answer arrived
    uint32_t Error = 0;       // the Windows or WinHTTP error code, 0 when none
    uint64_t Bytes = 0;       // body bytes received by this attempt
    bool Resumed = false;     // continued a partial download (206)
};

// Called on the transferring threads, one call at a time.
using AttemptObserver = std::function<void(const TransferAttempt&)>;

// "fetched", "http-status", ... for a log line.
const char* AttemptOutcomeName(AttemptOutcome outcome);
