#include "transfer/http_request_win.h"

#include "base/handles_win.h"
#include "base/running_work.h"

#include <algorithm>
#include <atomic>

namespace {
constexpr DWORD kReadSize = CHttpRequest::kMaxReadBytes;
// Spare states beyond this are freed: more requests than that never run at once.
constexpr size_t kSpareStates = 16;
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
    // The thread inside a WinHTTP call for this request, if any. WinHTTP may
    // complete an operation within the call itself, on that thread: the
    // outcome is then simply taken when the call returns, which spares two
    // trips through the kernel per read.
    std::atomic<DWORD> caller{0};
    bool finishedInCall = false;
    std::unique_ptr<char[]> buffer = std::make_unique_for_overwrite<char[]>(kReadSize);

    void Finish(DWORD errorCode, DWORD byteCount) {
        error = errorCode;
        bytes = byteCount;
        if (caller.load() == GetCurrentThreadId()) {
            finishedInCall = true;
        } else {
            SetEvent(completed.get());
        }
    }
};

// What WinHTTP holds of a request through its context: the state, and the
// request counted as running work until its handle's closing notice, the
// last WinHTTP sends, so that the process does not end before it.
struct CHttpRequest::Reference {
    std::shared_ptr<State> state;
    CRunningWork running;
};

void CALLBACK CHttpRequest::OnStatus(HINTERNET, DWORD_PTR context, DWORD status, LPVOID information, DWORD length) {
    if (context == 0) return;  // the session's and connections' own notices
    auto* reference = reinterpret_cast<Reference*>(context);
    State& state = *reference->state;
    switch (status) {
    case WINHTTP_CALLBACK_STATUS_SENDREQUEST_COMPLETE:
    case WINHTTP_CALLBACK_STATUS_HEADERS_AVAILABLE:
        state.Finish(0, 0);
        break;
    case WINHTTP_CALLBACK_STATUS_READ_COMPLETE:
        state.Finish(0, length);
        break;
    case WINHTTP_CALLBACK_STATUS_DATA_AVAILABLE:
        state.Finish(0, *static_cast<const DWORD*>(information));
        break;
    case WINHTTP_CALLBACK_STATUS_REQUEST_ERROR:
        state.Finish(static_cast<const WINHTTP_ASYNC_RESULT*>(information)->dwError, 0);
        break;
    case WINHTTP_CALLBACK_STATUS_HANDLE_CLOSING: {
        // The last notice for this handle: WinHTTP's reference goes.
        SetEvent(state.closed.get());
        std::unique_ptr<Reference>{reference}.reset();
        break;
    }
    default:
        break;
    }
}

std::shared_ptr<CHttpRequest::State> CHttpRequest::StatePool::Take() {
    {
        const std::lock_guard<std::mutex> hold(lock_);
        // A state given back may still be in WinHTTP's hand for a moment,
        // while its closing notice ends: only one that is ours alone is used.
        for (auto spare = spare_.begin(); spare != spare_.end(); ++spare) {
            if (spare->use_count() != 1) continue;
            std::shared_ptr<State> state = std::move(*spare);
            spare_.erase(spare);
            ResetEvent(state->completed.get());
            ResetEvent(state->closed.get());
            return state;
        }
    }
    return std::make_shared<State>();
}

void CHttpRequest::StatePool::Give(std::shared_ptr<State> state) {
    const std::lock_guard<std::mutex> hold(lock_);
    if (spare_.size() < kSpareStates) spare_.push_back(std::move(state));
}

bool CHttpRequest::PrepareSession(HINTERNET session) {
    return WinHttpSetStatusCallback(session, &OnStatus,
                                    WINHTTP_CALLBACK_FLAG_ALL_COMPLETIONS | WINHTTP_CALLBACK_FLAG_HANDLES,
                                    0) != WINHTTP_INVALID_STATUS_CALLBACK;
}

CHttpRequest::CHttpRequest(StatePool& pool, HINTERNET connection, const std::wstring& path, bool secure)
    : pool_(pool), state_(pool.Take()) {
    if (!state_->completed || !state_->closed) return;
    request_.reset(WinHttpOpenRequest(connection, L"GET", path.c_str(), nullptr, WINHTTP_NO_REFERER,
                                      WINHTTP_DEFAULT_ACCEPT_TYPES,
                                      WINHTTP_FLAG_ESCAPE_DISABLE | (secure ? WINHTTP_FLAG_SECURE : 0)));
    if (!request_) return;
    auto reference = std::make_unique<Reference>(Reference{state_, CRunningWork()});
    DWORD_PTR context = reinterpret_cast<DWORD_PTR>(reference.get());
    if (!WinHttpSetOption(request_.get(), WINHTTP_OPTION_CONTEXT_VALUE, &context, sizeof(context))) {
        request_.reset();
        return;
    }
    context_ = context;
    reference.release();  // WinHTTP's now; handed back with the handle's closing notice
}

CHttpRequest::~CHttpRequest() {
    if (request_) {
        request_.reset();
        // Not closed in time: the state stays WinHTTP's alone.
        if (WaitForSingleObject(state_->closed.get(), kCloseWaitMillis) != WAIT_OBJECT_0) return;
    }
    pool_.Give(std::move(state_));
}

template <typename Start>
StepResult CHttpRequest::Step(Start start, const StepLimits& limits) {
    if (!request_ || broken_) return {StepStatus::Failed, ERROR_INVALID_HANDLE};
    state_->finishedInCall = false;
    state_->caller = GetCurrentThreadId();
    const BOOL started = start();
    state_->caller = 0;
    if (!started) {
        broken_ = true;
        return {StepStatus::Failed, GetLastError()};
    }
    while (!state_->finishedInCall) {
        const ULONGLONG now = GetTickCount64();
        const ULONGLONG left = limits.Deadline > now ? limits.Deadline - now : 0;
        const DWORD slice = static_cast<DWORD>(std::min<ULONGLONG>(left, kCancelPollMillis));
        if (WaitForSingleObject(state_->completed.get(), slice) == WAIT_OBJECT_0) break;
        if (left <= slice) {
            broken_ = true;
            return {StepStatus::TimedOut, ERROR_WINHTTP_TIMEOUT};
        }
        if (limits.Cancelled && (*limits.Cancelled)()) {
            broken_ = true;
            return {StepStatus::Cancelled, ERROR_WINHTTP_OPERATION_CANCELLED};
        }
    }
    if (state_->error == 0) return {StepStatus::Done, 0};
    broken_ = true;
    return {StepStatus::Failed, state_->error};
}

StepResult CHttpRequest::Send(const std::wstring& headers, const StepLimits& limits) {
    const wchar_t* extra = headers.empty() ? WINHTTP_NO_ADDITIONAL_HEADERS : headers.c_str();
    const DWORD extraLength = headers.empty() ? 0 : static_cast<DWORD>(headers.size());
    // The context given here is what the request's notices carry from now on: the same one.
    const auto send = [&] {
        return WinHttpSendRequest(request_.get(), extra, extraLength, WINHTTP_NO_REQUEST_DATA, 0, 0, context_);
    };
    return Step(send, limits);
}

StepResult CHttpRequest::ReceiveResponse(const StepLimits& limits) {
    return Step([&] { return WinHttpReceiveResponse(request_.get(), nullptr); }, limits);
}

StepResult CHttpRequest::Read(DWORD& read, DWORD wanted, const StepLimits& limits) {
    read = 0;
    if (wanted == 0) {
        // What has arrived, then exactly that much, which never waits.
        const StepResult step = Step([&] { return WinHttpQueryDataAvailable(request_.get(), nullptr); }, limits);
        if (step.Status != StepStatus::Done || state_->bytes == 0) return step;
        wanted = state_->bytes;
    }
    const DWORD size = std::min(wanted, kReadSize);
    const auto readData = [&] { return WinHttpReadData(request_.get(), state_->buffer.get(), size, nullptr); };
    const StepResult step = Step(readData, limits);
    if (step.Status == StepStatus::Done) read = state_->bytes;
    return step;
}

const char* CHttpRequest::Data() const { return state_->buffer.get(); }
