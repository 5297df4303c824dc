#include "transfer/transfer_attempt.h"

const char* AttemptOutcomeName(AttemptOutcome outcome) {
    switch (outcome) {
    case AttemptOutcome::Fetched: return "fetched";
    case AttemptOutcome::HttpStatus: return "http-status";
    case AttemptOutcome::ConnectionError: return "connection-error";
    case AttemptOutcome::TimedOut: return "timed-out";
    case AttemptOutcome::TooSlow: return "too-slow";
    case AttemptOutcome::BadBody: return "bad-body";
    case AttemptOutcome::Undecodable: return "undecodable";
    case AttemptOutcome::LocalError: return "local-error";
    case AttemptOutcome::Cancelled: return "cancelled";
    }
    return "unknown";
}
