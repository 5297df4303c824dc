#pragma once
// One request for byte ranges of a pack to one server (or for the whole
// pack, from a server that answers only that): the Range header the plan
// makes, what the answer's status and headers say the server does with
// ranges (pack_schedule.h learns from it), and the body read as it streams
// into the members it carries, whichever of the three shapes it has:
// multipart/byteranges, one range, or the whole pack.
#include "transfer/ordered_jobs.h"
#include "transfer/pack_ranges.h"
#include "transfer/pack_schedule.h"
#include "transfer/server_address.h"
#include "transfer/server_fetch_win.h"
#include "transfer/transfer_attempt.h"
#include "transfer/transfer_rules.h"
#include "transfer/transfer_session_win.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

// The answer's headers are in: the members to take from its body (none:
// the body is not read), and what the answer taught.
using PackAnswered = std::function<CPackSchedule::Answer(RangeAnswer answer, uint32_t httpStatus,
                                                         std::optional<uint64_t> packLength)>;

struct PackAttemptResult {
    // Fetched: the answer was read to its end (its members are the
    // receiver's to judge); Stale: worth one more try on a fresh
    // connection; ServerDown: as for a file; NotHere: anything else that
    // kept members from arriving; GiveUp: cancelled, or a member could not
    // be stored.
    AttemptVerdict Verdict = AttemptVerdict::NotHere;
    TransferAttempt Attempt;
};

// `path` is the pack's /{type}/{name}; `connection` the component's
// connection to `server`.
PackAttemptResult FetchPackFromServer(CTransferSession& session, HINTERNET connection, const S_UpdateSerivceAddr& server,
                                      const std::wstring& path, const PackRequest& request, const TransferLimits& limits,
                                      CMemberStream::Receiver& receiver, const PackAnswered& answered,
                                      const JobCancelled& cancelled);
