#pragma once
// One GET on an asynchronous WinHTTP session, driven as blocking steps.
// Each step waits for WinHTTP's completion no longer than its deadline and
// gives up as soon as the caller's cancel test says so; the request handle
// is then closed, which is how WinHTTP cancels an operation in progress.
// A synchronous session could not be interrupted: a stalled read would
// hold a stop request for its whole time-out.
#include "transfer/winhttp_handle_win.h"

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

enum class StepStatus {
    Done,
    Failed,     // Error holds WinHTTP's or Windows' code
    TimedOut,   // the deadline passed first
    Cancelled,  // the cancel test said so first
};

struct StepResult {
    StepStatus Status = StepStatus::Done;
    DWORD Error = 0;
};

struct StepLimits {
    ULONGLONG Deadline = 0;                            // GetTickCount64 value
    const std::function<bool()>* Cancelled = nullptr;  // may be null
};

class CHttpRequest {
public:
    static constexpr DWORD kMaxReadBytes = 256 * 1024;
    struct State;
    struct Reference;

    // The events and read buffers of finished requests, kept for the next
    // ones: a request is small, but a fresh buffer per file would cost more
    // than a small file's whole transfer.
    class StatePool {
    public:
        std::shared_ptr<State> Take();
        void Give(std::shared_ptr<State> state);

    private:
        std::mutex lock_;
        std::vector<std::shared_ptr<State>> spare_;  // guarded by lock_
    };

    // Installs the completion callback that every request relies on; once,
    // on the session, before any connection is made from it.
    static bool PrepareSession(HINTERNET session);

    // `path` is sent as it is (already percent-encoded); `secure` asks for TLS.
    CHttpRequest(StatePool& pool, HINTERNET connection, const std::wstring& path, bool secure);
    // Closes the request and waits (briefly) until WinHTTP has let go of it.
    ~CHttpRequest();
    CHttpRequest(const CHttpRequest&) = delete;
    CHttpRequest& operator=(const CHttpRequest&) = delete;

    explicit operator bool() const { return static_cast<bool>(request_); }
    // For options and header queries between steps.
    HINTERNET Handle() const { return request_.get(); }

    // `headers`: extra request header lines, each ending in CRLF, or empty.
    StepResult Send(const std::wstring& headers, const StepLimits& limits);
    StepResult ReceiveResponse(const StepLimits& limits);
    // Reads the next piece of the body into Data(): `wanted` bytes (at most
    // kMaxReadBytes; fewer only at the body's end), or with `wanted` 0 what
    // has arrived, at least a byte. `read` 0 means the body has ended.
    StepResult Read(DWORD& read, DWORD wanted, const StepLimits& limits);
    const char* Data() const;

private:
    static void CALLBACK OnStatus(HINTERNET handle, DWORD_PTR context, DWORD status, LPVOID information, DWORD length);
    // Starts one operation and waits for its completion.
    template <typename Start>
    StepResult Step(Start start, const StepLimits& limits);

    StatePool& pool_;
    std::shared_ptr<State> state_;
    UniqueInternet request_;
    DWORD_PTR context_ = 0;
    bool broken_ = false;  // a step did not complete: the handle is good for closing only
};
