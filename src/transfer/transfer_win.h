#pragma once
// Fetches files from the update servers over HTTP(S) with WinHTTP. One
// component is one run's view of the servers: one session, each server
// addressed by its configured name, the user's proxy, several files at
// once (one kept-alive connection each), failover that sticks for the
// component's life, time-outs and a speed floor, and large downloads that
// continue where a failed attempt stopped.
#include "transfer/partial_file_win.h"
#include "transfer/server_address.h"
#include "transfer/transfer_attempt.h"
#include "transfer/transfer_rules.h"

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// A file's compressed form on the server, NAME + Suffix beside NAME
// ("NAME.gz"), decoded by zlib with these window bits (gzip_decoder.h).
struct CompressedForm {
    std::string Suffix;
    int WindowBits = 0;
    uint64_t Size = 0;                    // bytes of the compressed form, as listed
    std::optional<uint64_t> DecodedSize;  // the file's listed size, when it has one
};

// A form of a file whose body is not the file but what the caller makes
// the file from (a patch against a copy it has). It is asked for first,
// once, from the first server that may have it: never more than Size
// bytes, into BodyPath, which Convert then turns into the file at the
// local path, checked as the caller sees fit (Check is not called on it).
// Whatever goes wrong (no such form, longer than listed, a server that
// fails, a body that Convert refuses), the file is then fetched in its
// other forms. A server that answered "missing" (4xx) for three converted
// forms and gave none is asked for no more. BodyPath is removed afterwards.
struct ConvertedForm {
    std::string Name;
    std::string BodyPath;
    uint64_t Size = 0;
    std::function<Status(const std::string& bodyPath)> Convert;
};

// A file's bytes inside a pack beside the files on the server (a release's
// pack, listed_packs.h): Length bytes at Offset of Pack, the file itself
// or, with WindowBits, its compressed form that zlib decodes with those.
// Such files are asked for as byte ranges of the pack, many in one request,
// before any other form; what a server's answer to ranges cannot give
// (pack_schedule.h) is fetched on its own. The same bounds and checks hold
// as for the file on its own.
struct PackedForm {
    std::string Pack;
    uint64_t Offset = 0;
    uint64_t Length = 0;
    std::optional<int> WindowBits = std::nullopt;
};

// Whether a file that arrived at localPath is the one wanted; the server is
// the one that sent it, for a check that asks it more.
using ArrivalCheck = std::function<Status(const std::string& localPath, const S_UpdateSerivceAddr& server)>;

// One file of a batch: its name on the server and the local path it goes to
// (whose folder exists). With a compressed form, that form is asked for
// first and decoded on arrival within its bounds (gzip_decoder.h); when a
// server does not have it or it does not decode, that server is asked for
// NAME once.
struct RemoteFile {
    std::string Name;
    std::string LocalPath;
    std::optional<CompressedForm> Compressed = std::nullopt;
    // The most bytes the file may have (its listed size, or a limit for a
    // file known by name alone); a server that sends more is refused. None:
    // the largest file a transfer takes.
    std::optional<uint64_t> MaxSize = std::nullopt;
    // Whether the file that arrived at LocalPath is the one wanted (its
    // digests, or a manifest's layout); called on a transferring thread.
    // One that is not is that server's fault: it is removed, the server goes
    // last for the rest of the run, and the next one is asked.
    ArrivalCheck Check = nullptr;
    // Sees the file's bytes as each attempt writes them to LocalPath, each
    // piece with its offset (decoded, for a compressed form; not the body
    // of a converted form): for a check that then need not read the file.
    WrittenBytes Written = nullptr;
    std::optional<ConvertedForm> Converted = std::nullopt;
    // Not used for a file with a converted form, which goes first.
    std::optional<PackedForm> Packed = std::nullopt;
};

// Who follows a batch. With a window and a message, it receives progress
// (received, total; never equal) of the first file not yet complete, in
// bytes that travel (those of NAME.gz or of a converted form), and one
// completion (size, size) per file with the size of the file itself, in
// list order, sent from the calling thread. StopRequested is asked while the batch runs; true ends every
// transfer at once.
struct FetchObserver {
    HWND Window = nullptr;
    UINT Message = 0;
    std::function<bool()> StopRequested;
};

enum class FetchStatus {
    Fetched,  // every file (an empty list included)
    Failed,   // the first file in list order that no server gave; nothing was reported after it
    Stopped,  // the observer asked to stop, or its window is gone
};

struct FetchResult {
    FetchStatus Status = FetchStatus::Fetched;
    // For a failed batch: the first file that no server gave, and the
    // reason that counts among its attempts: a local failure (no server
    // could help) before what a server sent and the client refused, before
    // the network's; the first server's of those.
    size_t FailedIndex = 0;
    Failure Why = {};

    bool Fetched() const { return Status == FetchStatus::Fetched; }
};

class CQIRAUpdateIntf {
public:
    static constexpr size_t kFilesAtOnce = 6;  // per server, as browsers open per host

    CQIRAUpdateIntf(const std::vector<S_UpdateSerivceAddr>& servers, bool useProxy);
    ~CQIRAUpdateIntf();
    CQIRAUpdateIntf(const CQIRAUpdateIntf&) = delete;
    CQIRAUpdateIntf& operator=(const CQIRAUpdateIntf&) = delete;

    // Fetches GET /{type}/{remoteName} from the first server that serves it
    // and replaces localPath with it only when it arrived whole. Returns the
    // file size (0 or more) or -1. With a window and a message, sends progress
    // (received, total; never equal) and one completion (size, size).
    int32_t GetRemoteFile(uint32_t type, const std::string& remoteName, const std::string& localPath,
                          HWND notifyWindow, UINT notifyMessage);

    // Fetches the files of a list, several at once, each as GetRemoteFile
    // would; the observer sees them as if fetched one after the other. Files
    // after a failed one may have been fetched whole meanwhile: they stay.
    FetchResult GetRemoteFiles(uint32_t type, const std::vector<RemoteFile>& files, const FetchObserver& observer = {});

    // The servers in the order the component now asks them: after a server
    // failed, the one after it comes first. For a second component that
    // continues the same run.
    std::vector<S_UpdateSerivceAddr> ServersInPreferredOrder() const;

    // Time allowed to connect, to wait for the answer or the next data, and
    // the window of the speed floor (0: none); TransferLimits' values unless
    // changed (15 s, 30 s, 30 s). Tests shorten them.
    void SetTimeouts(DWORD connectMillis, DWORD dataMillis,
                     DWORD floorWindowMillis = TransferLimits{}.FloorWindowMillis);
    // How many files a batch fetches at once; kFilesAtOnce unless changed.
    void SetFilesAtOnce(size_t count);
    // Receives every attempt to fetch a file from a server (a run log uses
    // it); called on the transferring threads, one call at a time, so it
    // needs no lock of its own but should be quick.
    void SetAttemptObserver(AttemptObserver observer);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};
