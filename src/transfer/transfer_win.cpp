#include "transfer/transfer_win.h"

#include "base/file_io.h"
#include "base/path_info.h"
#include "base/gbk_text.h"
#include "transfer/ordered_jobs.h"
#include "transfer/pack_fetch_win.h"
#include "transfer/pack_schedule.h"
#include "transfer/packed_files_win.h"
#include "transfer/partial_file_win.h"
#include "transfer/remote_url.h"
#include "transfer/response_body_win.h"
#include "transfer/server_fetch_win.h"
#include "transfer/server_preference.h"
#include "transfer/transfer_rules.h"
#include "transfer/transfer_session_win.h"

#include <algorithm>
#include <limits>
#include <mutex>
#include <optional>
#include <string_view>

namespace {
// Sizes travel as 32-bit values in the progress notifications.
constexpr uint64_t kFileLimit = static_cast<uint64_t>(std::numeric_limits<int32_t>::max());
constexpr DWORD kBackupMillis = 5000;

uint64_t SizeLimitOf(const RemoteFile& file) { return std::min(file.MaxSize.value_or(kFileLimit), kFileLimit); }

// Whose fault a failure of one file is, when servers disagree: a local
// failure ends the file at once, and what a server sent and the client
// refused says more than a server that could not be reached.
int Weight(const Failure& failure) {
    switch (ClassOf(failure.Kind)) {
    case FailureClass::Local: return 3;
    case FailureClass::RefusedData: return 2;
    case FailureClass::Network: break;
    }
    return 1;
}

void KeepWeightier(std::optional<Failure>& kept, const Failure& next) {
    if (!kept || Weight(next) > Weight(*kept)) kept = next;
}

// A file that arrived whole but is not the one wanted is a wrong copy on
// that server: another server may have the right one, and this one is
// likely wrong for the next file too. A check that could not read the file
// (a local failure) is no server's fault.
void RefuseAWrongCopy(const RemoteFile& wanted, const S_UpdateSerivceAddr& server, AttemptResult& result) {
    const Status checked = wanted.Check(wanted.LocalPath, server);
    if (checked) return;
    DeleteFileW(LongPath(wanted.LocalPath).c_str());
    const bool local = ClassOf(checked.Why().Kind) == FailureClass::Local;
    result.Verdict = local ? AttemptVerdict::GiveUp : AttemptVerdict::ServerDown;
    result.Attempt.End = AttemptEnd::Failed;
    result.Attempt.Why = checked.Why();
}

// The body of a converted form arrived: the caller makes the file from it.
// A body it refuses is not held against the server (the copy it applies to
// may have changed since the caller looked): the file's other forms follow.
void ConvertBody(const RemoteFile& wanted, AttemptResult& result) {
    const Status converted = wanted.Converted->Convert(wanted.Converted->BodyPath);
    const int64_t size = converted ? FileSize(wanted.LocalPath) : -1;
    if (size >= 0) {
        result.Size = static_cast<uint64_t>(size);
        return;
    }
    result.Verdict = AttemptVerdict::NotHere;
    result.Attempt.End = AttemptEnd::Failed;
    result.Attempt.Why = converted ? LastLocalFailure("the file made from it cannot be read") : converted.Why();
}

// A 4xx answer: the server does not have the file in that form.
bool IsMissing(const TransferAttempt& attempt) {
    return attempt.End == AttemptEnd::Failed && attempt.Why.Kind == FailureKind::HttpStatus &&
           attempt.Why.HttpStatus >= 400 && attempt.Why.HttpStatus < 500;
}

bool IsUsable(const S_UpdateSerivceAddr& server) {
    // Port 0 is a missing setting, not WinHTTP's "default port".
    return !server.Address.empty() && server.Port != 0;
}

// The request for a file's compressed form, if it has one: never more than the
// listed compressed size in, never a larger file out than a plain download
// could give. A compressed form larger than a plain download may be is
// none: the file travels plain.
std::optional<FileToFetch> CompressedFormToFetch(uint32_t type, const RemoteFile& file, bool mayHavePartial) {
    if (!file.Compressed || file.Compressed->Size > kFileLimit) return std::nullopt;
    const CompressedForm& form = *file.Compressed;
    const std::string name = file.Name + form.Suffix;
    const uint64_t maxOutput = std::min(GzipOutputBound(form.DecodedSize, form.Size), SizeLimitOf(file));
    FileToFetch fetch{name, Widen(BuildRemotePath(type, name)), file.LocalPath, form.Size, mayHavePartial};
    fetch.Compressed = GzipBounds{form.Size, maxOutput, form.WindowBits};
    fetch.KeptPath = file.LocalPath + form.Suffix;
    fetch.Written = file.Written;
    return fetch;
}

// The request for a file's converted form, if it has one that a file may be made from.
std::optional<FileToFetch> ConvertedFormToFetch(uint32_t type, const RemoteFile& file, bool mayHavePartial) {
    if (!file.Converted || file.Converted->Size > kFileLimit) return std::nullopt;
    const ConvertedForm& form = *file.Converted;
    return FileToFetch{form.Name, Widen(BuildRemotePath(type, form.Name)), form.BodyPath, form.Size, mayHavePartial};
}

// The files of a batch that a pack holds and that take that route: not
// those with a converted form, which goes first and on its own.
std::vector<PackedFile> PackedFilesOf(const std::vector<RemoteFile>& files) {
    std::vector<PackedFile> packed;
    for (size_t i = 0; i < files.size(); ++i) {
        const std::optional<PackedForm>& form = files[i].Packed;
        if (!form || files[i].Converted || form->Length > kFileLimit) continue;
        packed.push_back({i, form->Pack, form->Offset, form->Length});
    }
    return packed;
}

// The requests a file may be fetched by.
struct FormsToFetch {
    FileToFetch Plain;
    std::optional<FileToFetch> Compressed;
    std::optional<FileToFetch> Converted;
};

// What is done with an attempt's result before it is reported and acted on.
using FinishAttempt = std::function<void(AttemptResult&)>;

class CNotifier {
public:
    CNotifier(HWND window, UINT message) : window_(message ? window : nullptr), message_(message) {}

    // False when the window that asked for notifications is gone: nobody
    // waits for this transfer any more.
    bool StillWanted() const { return !window_ || IsWindow(window_); }

    // Sent, not posted: the receiver handles each notice before the batch
    // goes on, so the notices arrive in order and the handler of the last
    // completion may run the whole install while this thread waits.
    void Send(uint64_t received, uint64_t total) const {
        if (window_) SendMessageW(window_, message_, static_cast<WPARAM>(received), static_cast<LPARAM>(total));
    }

private:
    HWND window_;
    UINT message_;
};

// Progress of the first file not yet complete, at the throttle's pace.
class CHeadProgress {
public:
    explicit CHeadProgress(const CNotifier& notifier) : notifier_(notifier) {}

    void Show(size_t index, uint64_t received, uint64_t total) {
        if (index != index_ || total != total_) throttle_.emplace(total, GetTickCount64());
        index_ = index;
        total_ = total;
        if (throttle_->IsDue(received, GetTickCount64())) notifier_.Send(received, total);
    }

private:
    const CNotifier& notifier_;
    size_t index_ = std::numeric_limits<size_t>::max();
    uint64_t total_ = 0;
    std::optional<CProgressThrottle> throttle_;
};
}  // namespace

struct CQIRAUpdateIntf::Impl {
    Impl(const std::vector<S_UpdateSerivceAddr>& list, bool useProxy)
        : servers(list), connections(list.size()), session(useProxy), preference(list.size()),
          compressedForms(list.size()), convertedForms(list.size()) {
        ApplyTimeouts();
    }

    void ApplyTimeouts() {
        // Connecting is WinHTTP's to time; waiting for data is the
        // component's, which WinHTTP only backs up a little later. Resolving
        // has no limit of its own.
        const int backup = static_cast<int>(limits.IdleMillis + kBackupMillis);
        WinHttpSetTimeouts(session.Handle(), 0, static_cast<int>(limits.ConnectMillis), backup, backup);
        DWORD headersMillis = static_cast<DWORD>(backup);
        WinHttpSetOption(session.Handle(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &headersMillis, sizeof(headersMillis));
    }

    // One connection handle per server for the component's life: WinHTTP
    // keeps the sockets behind it alive between requests.
    HINTERNET Connection(size_t index) {
        const std::lock_guard<std::mutex> hold(connectionLock);
        if (!connections[index]) {
            connections[index].reset(WinHttpConnect(session.Handle(), Widen(HostOf(servers[index])).c_str(),
                                                    servers[index].Port, 0));
        }
        return connections[index].get();
    }

    void Report(const TransferAttempt& attempt) {
        const std::lock_guard<std::mutex> hold(observerLock);
        if (observer) observer(attempt);
    }

    // The first server in the order the component asks them that can be asked at all.
    std::optional<size_t> PreferredServer() const {
        for (const size_t index : preference.Order()) {
            if (IsUsable(servers[index])) return index;
        }
        return std::nullopt;
    }

    // `sizes`, when given, receives each fetched file's size at its index.
    FetchResult Fetch(uint32_t type, const std::vector<RemoteFile>& files, const FetchObserver& observer,
                      std::vector<uint64_t>* sizes);
    // One request for ranges of a pack (or the whole pack), with one more
    // try on a fresh connection; its members end their jobs in `items`.
    void FetchPack(uint32_t type, const std::vector<RemoteFile>& files, const PackRequest& request,
                   CPackSchedule& schedule, JobItems& items);
    // The file's size, or nullopt with the reason that counts in `why`
    // (nothing when it was cancelled).
    std::optional<uint64_t> FetchFile(const RemoteFile& wanted, const FormsToFetch& forms, JobProgress& progress,
                                      const JobCancelled& cancelled, std::optional<Failure>& why);
    std::optional<uint64_t> FetchConverted(const RemoteFile& wanted, const FileToFetch& body, JobProgress& progress,
                                           const JobCancelled& cancelled);
    AttemptResult FetchFromOne(size_t index, const RemoteFile& wanted, const FormsToFetch& forms, bool mayResume,
                               JobProgress& progress, const JobCancelled& cancelled, std::optional<Failure>& why);
    AttemptResult FetchFormFromOne(size_t index, const FileToFetch& file, bool mayResume, JobProgress& progress,
                                   const JobCancelled& cancelled, const FinishAttempt& finish);

    const std::vector<S_UpdateSerivceAddr> servers;
    std::mutex connectionLock;
    std::vector<UniqueInternet> connections;  // guarded by connectionLock
    CTransferSession session;
    CServerPreference preference;
    CFormsSeen compressedForms;
    CFormsSeen convertedForms;
    TransferLimits limits;
    size_t filesAtOnce = kFilesAtOnce;
    std::mutex observerLock;
    AttemptObserver observer;  // guarded by observerLock
};

// One server, with the two retries that are not the server's fault: a
// kept-alive connection that went stale, and a partial download that does
// not fit the server's file. `finish` sees the last attempt before it is
// reported.
AttemptResult CQIRAUpdateIntf::Impl::FetchFormFromOne(size_t index, const FileToFetch& file, bool mayResume,
                                                      JobProgress& progress, const JobCancelled& cancelled,
                                                      const FinishAttempt& finish) {
    bool retriedStale = false;
    for (;;) {
        const HINTERNET connection = Connection(index);
        AttemptResult result;
        if (connection) {
            result = FetchFromServer(session, connection, servers[index], file, mayResume, limits, progress, cancelled);
        } else {
            const DWORD error = GetLastError();
            result.Attempt = {ServerName(servers[index]), file.RemoteName, AttemptEnd::Failed,
                              Failure{KindOfNetworkError(error), error}};
        }
        const bool stale = result.Verdict == AttemptVerdict::Stale && !retriedStale;
        const bool withoutRange = result.Verdict == AttemptVerdict::WithoutRange && mayResume;
        if (!stale && !withoutRange) finish(result);
        Report(result.Attempt);
        if (stale) {
            retriedStale = true;
        } else if (withoutRange) {
            mayResume = false;
        } else {
            return result;
        }
    }
}

// The one attempt at a file's converted form, from the first server that
// may have it; the file's size when it was made from it.
std::optional<uint64_t> CQIRAUpdateIntf::Impl::FetchConverted(const RemoteFile& wanted, const FileToFetch& body,
                                                              JobProgress& progress, const JobCancelled& cancelled) {
    const std::vector<size_t> order = preference.Order();
    const auto server = std::find_if(order.begin(), order.end(), [&](size_t index) {
        return IsUsable(servers[index]) && convertedForms.WorthAsking(index);
    });
    if (server == order.end()) return std::nullopt;
    bool arrived = false;
    const AttemptResult result =
        FetchFormFromOne(*server, body, body.MayHavePartial, progress, cancelled, [&](AttemptResult& attempt) {
            attempt.Attempt.Converted = true;
            if (attempt.Verdict != AttemptVerdict::Fetched) return;
            arrived = true;
            ConvertBody(wanted, attempt);
        });
    if (arrived) convertedForms.Found(*server);
    if (IsMissing(result.Attempt)) convertedForms.Missing(*server);
    if (result.Verdict == AttemptVerdict::ServerDown) preference.Demote(*server);
    DropResumePoint(body.LocalPath);
    RemoveFile(body.LocalPath);
    if (result.Verdict != AttemptVerdict::Fetched) return std::nullopt;
    return result.Size;
}

// The compressed form first when there is one and the server may have it.
// A server that does not (a 4xx answer: a tree published before, or a
// mirror without the .gz files) or whose copy does not decode is asked for
// the plain file once; a server that fails otherwise fails for both forms.
AttemptResult CQIRAUpdateIntf::Impl::FetchFromOne(size_t index, const RemoteFile& wanted, const FormsToFetch& forms,
                                                  bool mayResume, JobProgress& progress, const JobCancelled& cancelled,
                                                  std::optional<Failure>& why) {
    const FinishAttempt checkArrival = [&](AttemptResult& result) {
        if (result.Verdict == AttemptVerdict::Fetched && wanted.Check) RefuseAWrongCopy(wanted, servers[index], result);
    };
    if (forms.Compressed && compressedForms.WorthAsking(index)) {
        const AttemptResult result =
            FetchFormFromOne(index, *forms.Compressed, mayResume, progress, cancelled, checkArrival);
        const Failure& compressedWhy = result.Attempt.Why;
        const bool failed = result.Attempt.End == AttemptEnd::Failed;
        const bool missing = IsMissing(result.Attempt);
        if (result.Verdict == AttemptVerdict::Fetched) compressedForms.Found(index);
        if (missing) compressedForms.Missing(index);
        // What the server sent and the client refused still counts when the
        // plain file then cannot be had either.
        if (failed) KeepWeightier(why, compressedWhy);
        const bool anotherFormMayDo =
            missing ||
            (failed && (compressedWhy.Kind == FailureKind::Undecodable || compressedWhy.Kind == FailureKind::OverLimit));
        if (result.Verdict != AttemptVerdict::NotHere || !anotherFormMayDo) return result;
    }
    return FetchFormFromOne(index, forms.Plain, mayResume, progress, cancelled, checkArrival);
}

// The converted form first, when there is one. What it cannot give, the
// other forms do, and only their failures count as the file's.
std::optional<uint64_t> CQIRAUpdateIntf::Impl::FetchFile(const RemoteFile& wanted, const FormsToFetch& forms,
                                                         JobProgress& progress, const JobCancelled& cancelled,
                                                         std::optional<Failure>& why) {
    const FileToFetch& plain = forms.Plain;
    const std::optional<FileToFetch>& compressed = forms.Compressed;
    if (forms.Converted) {
        if (const std::optional<uint64_t> size = FetchConverted(wanted, *forms.Converted, progress, cancelled)) {
            // Partial downloads of the other forms have nothing left to continue.
            if (plain.MayHavePartial) {
                DropResumePoint(plain.LocalPath);
                if (compressed) DropResumePoint(compressed->KeptPath);
            }
            return size;
        }
        if (cancelled()) return std::nullopt;
    }
    bool mayResume = plain.MayHavePartial;
    for (const size_t index : preference.Order()) {
        if (!IsUsable(servers[index])) continue;
        const bool partialsMayExist = mayResume;
        const AttemptResult result = FetchFromOne(index, wanted, forms, mayResume, progress, cancelled, why);
        if (result.Attempt.End == AttemptEnd::Failed) KeepWeightier(why, result.Attempt.Why);
        // A failed attempt may have left a partial download for the next server to continue.
        mayResume = true;
        switch (result.Verdict) {
        case AttemptVerdict::Fetched:
            // A partial download of the other form has nothing left to continue.
            if (compressed && partialsMayExist) {
                const bool gotCompressed = result.Attempt.RemoteName == compressed->RemoteName;
                DropResumePoint(gotCompressed ? plain.LocalPath : compressed->KeptPath);
            }
            return result.Size;
        case AttemptVerdict::GiveUp:
            return std::nullopt;
        case AttemptVerdict::ServerDown:
            preference.Demote(index);
            break;
        case AttemptVerdict::NotHere:
        case AttemptVerdict::Stale:
        case AttemptVerdict::WithoutRange:
            break;
        }
    }
    if (!why) why = Failure{FailureKind::Connect, 0, 0, "no server is configured with an address and a port"};
    return std::nullopt;
}

void CQIRAUpdateIntf::Impl::FetchPack(uint32_t type, const std::vector<RemoteFile>& files, const PackRequest& request,
                                      CPackSchedule& schedule, JobItems& items) {
    const S_UpdateSerivceAddr& server = servers[request.Server];
    const std::wstring path = Widen(BuildRemotePath(type, request.Pack));
    CPackedFiles arrivals(files, kFileLimit, server, request, schedule, items,
                          [this](const TransferAttempt& attempt) { Report(attempt); });
    const JobCancelled cancelled = [&] { return arrivals.Cancelled(); };
    const PackAnswered answered = [&](RangeAnswer answer, uint32_t status, std::optional<uint64_t> length) {
        return schedule.Answered(request, answer, status, length);
    };
    PackAttemptResult result;
    for (bool retried = false;; retried = true) {
        if (const HINTERNET connection = Connection(request.Server)) {
            result = FetchPackFromServer(session, connection, server, path, request, limits, arrivals, answered,
                                         cancelled);
        } else {
            const DWORD error = GetLastError();
            result.Verdict = AttemptVerdict::ServerDown;
            result.Attempt = {ServerName(server), request.Pack, AttemptEnd::Failed,
                              Failure{KindOfNetworkError(error), error}};
        }
        if (result.Verdict != AttemptVerdict::Stale || retried) break;
        Report(result.Attempt);
    }
    result.Attempt.FilesArrived = arrivals.Arrived();
    Report(result.Attempt);
    if (result.Verdict == AttemptVerdict::ServerDown) preference.Demote(request.Server);
    schedule.Finished(request);
}

CQIRAUpdateIntf::CQIRAUpdateIntf(const std::vector<S_UpdateSerivceAddr>& servers, bool useProxy)
    : impl_(std::make_unique<Impl>(servers, useProxy)) {}

CQIRAUpdateIntf::~CQIRAUpdateIntf() = default;

void CQIRAUpdateIntf::SetTimeouts(DWORD connectMillis, DWORD dataMillis, DWORD floorWindowMillis) {
    impl_->limits.ConnectMillis = connectMillis;
    impl_->limits.IdleMillis = dataMillis;
    impl_->limits.FloorWindowMillis = floorWindowMillis;
    impl_->ApplyTimeouts();
}

void CQIRAUpdateIntf::SetFilesAtOnce(size_t count) { impl_->filesAtOnce = count == 0 ? 1 : count; }

void CQIRAUpdateIntf::SetAttemptObserver(AttemptObserver observer) {
    const std::lock_guard<std::mutex> hold(impl_->observerLock);
    impl_->observer = std::move(observer);
}

std::vector<S_UpdateSerivceAddr> CQIRAUpdateIntf::ServersInPreferredOrder() const {
    std::vector<S_UpdateSerivceAddr> ordered;
    for (const size_t index : impl_->preference.Order()) ordered.push_back(impl_->servers[index]);
    return ordered;
}

FetchResult CQIRAUpdateIntf::Impl::Fetch(uint32_t type, const std::vector<RemoteFile>& files,
                                         const FetchObserver& observer, std::vector<uint64_t>* sizes) {
    if (!session.Handle()) {
        return {FetchStatus::Failed, 0, Failure{KindOfNetworkError(session.OpenError()), session.OpenError(), 0,
                                                "no HTTP session"}};
    }
    const CNotifier notifier(observer.Window, observer.Message);
    CHeadProgress headProgress(notifier);
    std::vector<std::string> localPaths;
    localPaths.reserve(files.size());
    for (const RemoteFile& file : files) localPaths.push_back(file.LocalPath);
    const std::vector<bool> mayHavePartial = MayHaveResumePoints(localPaths);
    // Each job writes only its own entry, and they are read once every job has ended.
    std::vector<std::optional<Failure>> failures(files.size());
    size_t completed = 0;
    OrderedJobs jobs;
    jobs.Count = files.size();
    jobs.Threads = filesAtOnce;
    const auto fetchOnItsOwn = [&](size_t index, JobProgress& progress, const JobCancelled& cancelled) {
        const RemoteFile& file = files[index];
        const FormsToFetch forms{{file.Name, Widen(BuildRemotePath(type, file.Name)), file.LocalPath,
                                  SizeLimitOf(file), mayHavePartial[index], std::nullopt, {}, file.Written},
                                 CompressedFormToFetch(type, file, mayHavePartial[index]),
                                 ConvertedFormToFetch(type, file, mayHavePartial[index])};
        return FetchFile(file, forms, progress, cancelled, failures[index]);
    };
    jobs.Run = fetchOnItsOwn;
    std::optional<CPackSchedule> schedule;
    if (std::vector<PackedFile> packed = PackedFilesOf(files); !packed.empty() && PreferredServer()) {
        schedule.emplace(files.size(), std::move(packed), servers.size(), filesAtOnce);
        jobs.Work = [&](JobItems& items) {
            const ScheduledWork work =
                schedule->Take(PreferredServer().value_or(0), [&items](size_t item) { return items.Cancelled(item); });
            if (work.What == ScheduledWork::Kind::Pack) {
                FetchPack(type, files, work.Request, *schedule, items);
            } else if (work.What == ScheduledWork::Kind::File) {
                const size_t index = work.Item;
                const std::optional<uint64_t> size =
                    fetchOnItsOwn(index, items.Progress(index), [&items, index] { return items.Cancelled(index); });
                if (size) {
                    items.Succeeded(index, *size);
                } else {
                    items.Failed(index);
                }
            }
            return work.What != ScheduledWork::Kind::Done;
        };
    }
    jobs.Progress = [&](size_t index, uint64_t received, uint64_t total) { headProgress.Show(index, received, total); };
    jobs.Completed = [&](size_t index, uint64_t size) {
        if (sizes) (*sizes)[index] = size;
        ++completed;
        notifier.Send(size, size);
    };
    jobs.StopRequested = [&] {
        return !notifier.StillWanted() || (observer.StopRequested && observer.StopRequested());
    };
    switch (RunJobsInOrder(jobs)) {
    case OrderedResult::Completed:
        return {};
    case OrderedResult::Failed:
        // Completions come in list order: the failed file is the one after them.
        return {FetchStatus::Failed, completed, failures[completed].value_or(Failure{FailureKind::Connect})};
    case OrderedResult::Stopped:
        break;
    }
    return {FetchStatus::Stopped};
}

FetchResult CQIRAUpdateIntf::GetRemoteFiles(uint32_t type, const std::vector<RemoteFile>& files,
                                            const FetchObserver& observer) {
    return impl_->Fetch(type, files, observer, nullptr);
}

int32_t CQIRAUpdateIntf::GetRemoteFile(uint32_t type, const std::string& remoteName, const std::string& localPath,
                                       HWND notifyWindow, UINT notifyMessage) {
    std::vector<uint64_t> sizes(1);
    const FetchResult result = impl_->Fetch(type, {{remoteName, localPath}}, {notifyWindow, notifyMessage, {}}, &sizes);
    return result.Fetched() ? static_cast<int32_t>(sizes[0]) : -1;
}
