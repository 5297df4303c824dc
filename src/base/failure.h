#pragma once
// Why something failed, kept from the place where it happened to the one
// place that decides how a run ended. A reason says whose fault it was (the
// network, what a server sent, or this machine), what exactly went wrong,
// and the error code the system gave, so that the log, the exit code and
// the dialog can all tell the truth about it.
#include <cstdint>
#include <string>
#include <utility>

enum class FailureKind : uint8_t {
    // The network: no usable answer came.
    Connect,     // no connection (refused, unreachable, name not resolved), or it broke
    TimedOut,    // no connection, answer or data within its time-out
    Tls,         // the secure channel failed or the server's certificate was refused
    Proxy,       // the proxy could not be found, refused, or asked for credentials
    TooSlow,     // data came, but under the speed floor
    HttpStatus,  // an answer other than the one asked for (404, 5xx, ...)
    BrokenBody,  // a body shorter or longer than announced, one without framing, or an answer that broke off (WinHTTP 12152, 12030)
    // What a server sent, and the client refused.
    OverLimit,    // larger than the limit (a manifest over 64 MiB, a file past its listed size)
    Unreadable,   // not in the layout it must have, or not text of its code page
    Signature,    // a release signature that is missing or does not verify
    Mismatch,     // a file other than its manifest lists (size or digest)
    Undecodable,  // a compressed form or a patch that does not decode
    // Refused as well, though not a server's: what the run was asked to do
    // cannot be done safely (a package name).
    BadRequest,
    // This machine.
    DiskFull,
    AccessDenied,
    InUse,           // held open by another program without the sharing needed
    BadPath,         // a path that cannot exist (too long, a missing or blocked folder)
    LocalIo,         // any other failure to read or write a local file
    ConfigUnusable,  // Config.dat cannot be read as configuration
    FolderBlocked,   // a file stands where the updater's folder must be
};

enum class FailureClass : uint8_t { Network, RefusedData, Local };

FailureClass ClassOf(FailureKind kind);
// "disk-full", "http-status", ...: one word for the log.
const char* KindName(FailureKind kind);

struct Failure {
    FailureKind Kind = FailureKind::LocalIo;
    uint32_t Error = 0;       // the system's error code (Windows, WinHTTP or errno); 0 when none
    uint32_t HttpStatus = 0;  // the server's status, 0 when no answer arrived
    std::string Detail = {};  // what failed or why, in words ("the limit is 67108864 bytes")
};

// "disk-full (error 112): detail", naming only what the failure has.
std::string DescribeFailure(const Failure& failure);

// A local failure from the system's error code: the kind follows the code
// (a full disk, a denied access, a file in use, a bad path), anything else
// is LocalIo. The last error of the calling thread when none is given.
Failure LocalFailure(uint32_t systemError, std::string detail = {});
Failure LastLocalFailure(std::string detail = {});

// The result of a step that gives no value: succeeded, or why not.
class Status {
public:
    Status() = default;
    Status(Failure failure) : failed_(true), failure_(std::move(failure)) {}  // NOLINT: a failure is a status

    // True when the step succeeded.
    explicit operator bool() const { return !failed_; }
    // Only for a status that failed.
    const Failure& Why() const { return failure_; }

private:
    bool failed_ = false;
    Failure failure_;
};
