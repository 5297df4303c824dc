#include "transfer/http_request_win.h"

#include "base/handles_win.h"

#include <algorithm>
#include <vector>

namespace {
constexpr DWORD kReadSize = 64 * 1024;
// How often a waiting step asks the cancel test.
constexpr DWORD kCancelPollMillis = 50;
// How long closing waits for WinHTTP's last word about a request. Should it
// never come, the request's state is left to WinHTTP rather than freed
// under it.
constexpr DWORD kCloseWaitMillis = 10000;
}  // namespace

// Everything that WinHTTP may still touch after a step gave up: the
// completion events, the outcome and the read buffer. WinHTTP holds one
// reference through the request's context until the handle is closing.
struct CHttpRequest::State {
    UniqueHandle completed{CreateEventW(nullptr, FALSE, FALSE, nullptr)};
    UniqueHandle closed{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    // Written by the callback before it signals `completed`, read after the wait.
    DWORD error = 0;
    DWORD bytes = 0;
    std::vector<char> buffer = std::vector<char>(kReadSize);

    void Finish(DWORD errorCode, DWORD byteCount) {
        error = errorCode;
        bytes = byteCount;
        SetEvent(completed.get());
    }
};

void CALLBACK CHttpRequest::OnStatus(HINTERNET, DWORD_PTR context, DWORD status, LPVOID information, DWORD length) {
    if (context == 0) return;  // the session's and connections' own notices
    auto* reference = reinterpret_cast<std::shared_ptr<State>*>(context);
    State& state = **reference;
    switch (status) {
    case WINHTTP_CALLBACK_STATUS_SENDREQUEST_COMPLETE:
    case WINHTTP_CALLBACK_STATUS_HEADERS_AVAILABLE:
        state.Finish(0, 0);
        break;
    case WINHTTP_CALLBACK_STATUS_READ_COMPLETE:
        state.Finish(0, length);
        break;
    case WINHTTP_CALLBACK_STATUS_REQUEST_ERROR:
        state.Finish(static_cast<const WINHTTP_ASYNC_RESULT*>(information)->dwError, 0);
        break;
    case WINHTTP_CALLBACK_STATUS_HANDLE_CLOSING: {
        // The last notice for this handle: WinHTTP's reference goes.
        SetEvent(state.closed.get());
        const std::unique_ptr<std::shared_ptr<State>> released(reference);
        break;
    }
    default:
        break;
    }
}

bool CHttpRequest::PrepareSession(HINTERNET session) {
    return WinHttpSetStatusCallback(session, &OnStatus,
                                    WINHTTP_CALLBACK_FLAG_ALL_COMPLETIONS | WINHTTP_CALLBACK_FLAG_HANDLES,
                                    0) != WINHTTP_INVALID_STATUS_CALLBACK;
}

CHttpRequest::CHttpRequest(HINTERNET connection, const std::wstring& path, bool secure)
    : state_(std::make_shared<State>()) {
    if (!state_->completed || !state_->closed) return;
    request_.reset(WinHttpOpenRequest(connection, L"GET", path.c_str(), nullptr, WINHTTP_NO_REFERER,
                                      WINHTTP_DEFAULT_ACCEPT_TYPES,
                                      WINHTTP_FLAG_ESCAPE_DISABLE | (secure ? WINHTTP_FLAG_SECURE : 0)));
    if (!request_) return;
    auto reference = std::make_unique<std::shared_ptr<State>>(state_);
    DWORD_PTR context = reinterpret_cast<DWORD_PTR>(reference.get());
    if (!WinHttpSetOption(request_.get(), WINHTTP_OPTION_CONTEXT_VALUE, &context, sizeof(context))) {
        request_.reset();
        return;
    }
    context_ = context;
    reference.release();  // WinHTTP's now; handed back with the handle's closing notice
}

CHttpRequest::~CHttpRequest() {
    if (!request_) return;
    request_.reset();
    WaitForSingleObject(state_->closed.get(), kCloseWaitMillis);
}

StepResult CHttpRequest::Complete(BOOL started, const StepLimits& limits) {
    if (!started) {
        broken_ = true;
        return {StepStatus::Failed, GetLastError()};
    }
    for (;;) {
        const ULONGLONG now = GetTickCount64();
        if (now >= limits.Deadline) {
            broken_ = true;
            return {StepStatus::TimedOut, ERROR_WINHTTP_TIMEOUT};
        }
        const DWORD slice = static_cast<DWORD>(std::min<ULONGLONG>(limits.Deadline - now, kCancelPollMillis));
        if (WaitForSingleObject(state_->completed.get(), slice) == WAIT_OBJECT_0) {
            if (state_->error == 0) return {StepStatus::Done, 0};
            broken_ = true;
            return {StepStatus::Failed, state_->error};
        }
        if (limits.Cancelled && (*limits.Cancelled)()) {
            broken_ = true;
            return {StepStatus::Cancelled, ERROR_WINHTTP_OPERATION_CANCELLED};
        }
    }
}

StepResult CHttpRequest::Send(const std::wstring& headers, const StepLimits& limits) {
    if (!request_ || broken_) return {StepStatus::Failed, ERROR_INVALID_HANDLE};
    const wchar_t* extra = headers.empty() ? WINHTTP_NO_ADDITIONAL_HEADERS : headers.c_str();
    const DWORD extraLength = headers.empty() ? 0 : static_cast<DWORD>(headers.size());
    // The context given here is what the request's notices carry from now on: the same one.
    return Complete(WinHttpSendRequest(request_.get(), extra, extraLength, WINHTTP_NO_REQUEST_DATA, 0, 0, context_),
                    limits);
}

StepResult CHttpRequest::ReceiveResponse(const StepLimits& limits) {
    if (!request_ || broken_) return {StepStatus::Failed, ERROR_INVALID_HANDLE};
    return Complete(WinHttpReceiveResponse(request_.get(), nullptr), limits);
}

StepResult CHttpRequest::Read(DWORD& read, const StepLimits& limits) {
    read = 0;
    if (!request_ || broken_) return {StepStatus::Failed, ERROR_INVALID_HANDLE};
    const StepResult result =
        Complete(WinHttpReadData(request_.get(), state_->buffer.data(), kReadSize, nullptr), limits);
    if (result.Status == StepStatus::Done) read = state_->bytes;
    return result;
}

const char* CHttpRequest::Data() const { return state_->buffer.data(); }
