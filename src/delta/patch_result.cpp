#include "delta/patch_result.h"

namespace {
const char* PatchStatusName(PatchStatus status) {
    switch (status) {
    case PatchStatus::Applied: return "applied";
    case PatchStatus::BaseMismatch: return "base-mismatch";
    case PatchStatus::Damaged: return "damaged";
    case PatchStatus::Truncated: return "truncated";
    case PatchStatus::ExceedsSize: return "exceeds-size";
    case PatchStatus::ExceedsBaseReads: return "exceeds-base-reads";
    case PatchStatus::ResultMismatch: return "result-mismatch";
    case PatchStatus::PatchUnreadable: return "patch-unreadable";
    case PatchStatus::BaseUnreadable: return "base-unreadable";
    case PatchStatus::ResultUnwritable: return "result-unwritable";
    }
    return "unknown";
}
}  // namespace

std::string DescribePatchResult(const PatchResult& result) {
    std::string text = PatchStatusName(result.Status);
    switch (result.Status) {
    case PatchStatus::PatchUnreadable:
    case PatchStatus::BaseUnreadable:
    case PatchStatus::ResultUnwritable: return text + ": " + DescribeFailure(result.Cause);
    default: return text;
    }
}

Failure PatchFailure(const PatchResult& result) {
    const std::string status = PatchStatusName(result.Status);
    switch (result.Status) {
    case PatchStatus::Damaged:
    case PatchStatus::Truncated: return Failure{FailureKind::Undecodable, 0, 0, status};
    case PatchStatus::ExceedsSize:
    case PatchStatus::ExceedsBaseReads: return Failure{FailureKind::OverLimit, 0, 0, status};
    case PatchStatus::BaseMismatch:
    case PatchStatus::ResultMismatch: return Failure{FailureKind::Mismatch, 0, 0, status};
    case PatchStatus::Applied:  // no failure: only a caller's mistake asks
    case PatchStatus::PatchUnreadable:
    case PatchStatus::BaseUnreadable:
    case PatchStatus::ResultUnwritable: break;
    }
    const Failure& cause = result.Cause;
    return Failure{cause.Kind, cause.Error, 0, cause.Detail.empty() ? status : status + ": " + cause.Detail};
}
