#pragma once
// What every request of the transfer does, whatever it asks for: the
// request set up (no redirects, the user's proxy), sent and answered within
// the limits, the status and headers the answer is judged by, what a failed
// step says about the server, and the body read at the link's pace, within
// the idle limit and above the speed floor.
#include "base/failure.h"
#include "transfer/http_request_win.h"
#include "transfer/ordered_jobs.h"
#include "transfer/server_address.h"
#include "transfer/transfer_rules.h"
#include "transfer/transfer_session_win.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

constexpr DWORD kRangeNotSatisfiable = 416;  // not among mingw-w64's winhttp.h names
constexpr DWORD kProxyAuthenticationRequired = 407;

// What a WinHTTP or socket error says about the network: a time-out, TLS,
// the proxy, a broken answer, or no connection.
FailureKind KindOfNetworkError(DWORD error);
// A kept-alive connection that the server closed meanwhile, or that still
// holds the surplus of an answer longer than announced, fails the next
// request before its answer: a fresh connection deserves one try.
bool MayBeStaleConnection(DWORD error);
// WinHTTP's own time-outs back up the component's; Wine reports them with
// the socket's code.
bool IsTimeOut(DWORD error);
// The server cannot be reached or not be trusted: the same holds for the next file.
bool MeansServerDown(DWORD error);

enum class AttemptVerdict {
    Fetched,
    NotHere,       // this server cannot give this file (in this form): ask the next one
    ServerDown,    // no connection, a time-out, too slow or a 5xx: ask the next one, and prefer it from now on
    Stale,         // the kept-alive connection may be at fault: worth one more try
    WithoutRange,  // the partial download does not fit the server's file: once more, from the start
    GiveUp,        // the caller cancelled, or the local file failed: no server can help
};

// What a send, a receive or a read that did not complete says about the
// server, for a file's request and a pack's alike. `beforeAnswer`: no status
// had come yet, so a kept-alive connection may have been closed under it.
struct StepVerdict {
    AttemptVerdict Verdict;
    Failure Why;
};
StepVerdict VerdictOfFailedStep(const StepResult& step, bool beforeAnswer);

std::optional<DWORD> QueryStatus(HINTERNET request);
// A header's text; nothing when it is missing or longer than any value of use.
std::optional<std::wstring> QueryText(HINTERNET request, DWORD query);
std::string QueryAscii(HINTERNET request, DWORD query);

// The body's announced length. A chunked body ends with its own
// terminator; only a body that simply runs to the connection's end could be
// cut short unnoticed, so it is refused.
struct BodyLength {
    bool acceptable = false;
    std::optional<uint64_t> total;
};
BodyLength QueryBodyLength(HINTERNET request);

// Port 443 means HTTPS; every other port plain HTTP.
inline bool IsSecure(const S_UpdateSerivceAddr& server) { return server.Port == 443; }

// The settings every request of a server gets: redirects are a server's
// fault here (following one could loop), and the proxy is the one the
// user's settings give for its URL.
void PrepareRequest(CTransferSession& session, const CHttpRequest& request, const S_UpdateSerivceAddr& server,
                    const std::wstring& path);

// Sends the request with the extra header lines (each ending in CRLF, or
// none) and waits for the answer's headers.
StepResult SendAndReceive(CHttpRequest& request, const std::wstring& headers, const TransferLimits& limits,
                          const JobCancelled& cancelled);

enum class BodyEnd {
    Complete,             // the whole body: `total` bytes when it was known
    Cancelled,
    TooSlow,              // under the speed floor
    StepFailed,           // Step says how
    Refused,              // the consumer refused a block
    OverLimit,            // more than the limit
    LongerThanAnnounced,  // more than the total, or a known total not reached
};

struct BodyOutcome {
    BodyEnd End = BodyEnd::Complete;
    StepResult Step;
};

// Reads the rest of the body into `consume`, block by block, at the pace
// the link allows. `received` counts the body's bytes (those of an earlier
// attempt that this answer continues included) and goes up as they arrive;
// `fresh` counts this answer's alone, for the speed floor. With a known
// total the body is complete at its last byte: asking for the end as well
// would cost one more round through WinHTTP.
BodyOutcome ReadBody(CHttpRequest& request, const TransferLimits& limits, const JobCancelled& cancelled,
                     std::optional<uint64_t> total, uint64_t limit, uint64_t& received, uint64_t& fresh,
                     const std::function<bool(const char* data, size_t size)>& consume);
