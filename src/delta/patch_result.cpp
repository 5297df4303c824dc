#include "delta/patch_result.h"

namespace {
const char* PatchStatusName(PatchStatus status) {
    switch (status) {
    case PatchStatus::Applied: return "applied";
    case PatchStatus::BaseMismatch: return "base-mismatch";
    case PatchStatus::Damaged: return "damaged";
    case PatchStatus::Truncated: return "truncated";
    case PatchStatus::ExceedsSize: return "exceeds-size";
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
