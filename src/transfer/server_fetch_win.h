#pragma once
// One attempt to fetch a file from one server: the request (asking only
// for the rest when a partial download can be continued), the checks of
// the answer, the body into its partial file within the idle limit and
// above the speed floor, and a verdict that tells the caller what to try
// next.
#include "transfer/gzip_decoder.h"
#include "transfer/http_answer_win.h"
#include "transfer/ordered_jobs.h"
#include "transfer/partial_file_win.h"
#include "transfer/server_address.h"
#include "transfer/transfer_attempt.h"
#include "transfer/transfer_rules.h"
#include "transfer/transfer_session_win.h"

#include <cstdint>
#include <optional>
#include <string>

struct FileToFetch {
    std::string RemoteName;
    std::wstring Path;  // /{type}/{name}, percent-encoded
    std::string LocalPath;
    uint64_t SizeLimit = 0;  // bytes of the body at most: more is refused as over the limit
    bool MayHavePartial = true;  // false when its folder holds no partial download at all
    // Set for a file's compressed form: the body is decoded into LocalPath
    // within these bounds, and its partial download is kept at KeptPath
    // (response_body_win.h).
    std::optional<GzipBounds> Compressed = std::nullopt;
    std::string KeptPath = {};
    // Sees the file's bytes as they are written (decoded, for a compressed form).
    WrittenBytes Written = nullptr;
};


struct AttemptResult {
    AttemptVerdict Verdict = AttemptVerdict::NotHere;
    TransferAttempt Attempt;
    uint64_t Size = 0;  // of the fetched file
};

// `connection` is the component's connection to `server`. `mayResume`
// allows a Range request when a partial download of the file is there.
AttemptResult FetchFromServer(CTransferSession& session, HINTERNET connection, const S_UpdateSerivceAddr& server,
                              const FileToFetch& file, bool mayResume, const TransferLimits& limits,
                              JobProgress& progress, const JobCancelled& cancelled);
