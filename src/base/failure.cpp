#include "base/failure.h"

FailureClass ClassOf(FailureKind kind) {
    switch (kind) {
    case FailureKind::Connect:
    case FailureKind::TimedOut:
    case FailureKind::Tls:
    case FailureKind::Proxy:
    case FailureKind::TooSlow:
    case FailureKind::HttpStatus:
    case FailureKind::BrokenBody:
        return FailureClass::Network;
    case FailureKind::OverLimit:
    case FailureKind::Unreadable:
    case FailureKind::Signature:
    case FailureKind::Mismatch:
    case FailureKind::Undecodable:
    case FailureKind::BadRequest:
        return FailureClass::RefusedData;
    case FailureKind::DiskFull:
    case FailureKind::AccessDenied:
    case FailureKind::InUse:
    case FailureKind::BadPath:
    case FailureKind::LocalIo:
    case FailureKind::ConfigUnusable:
    case FailureKind::FolderBlocked:
        break;
    }
    return FailureClass::Local;
}

const char* KindName(FailureKind kind) {
    switch (kind) {
    case FailureKind::Connect: return "connect";
    case FailureKind::TimedOut: return "timed-out";
    case FailureKind::Tls: return "tls";
    case FailureKind::Proxy: return "proxy";
    case FailureKind::TooSlow: return "too-slow";
    case FailureKind::HttpStatus: return "http-status";
    case FailureKind::BrokenBody: return "broken-body";
    case FailureKind::OverLimit: return "over-limit";
    case FailureKind::Unreadable: return "unreadable";
    case FailureKind::Signature: return "signature";
    case FailureKind::Mismatch: return "mismatch";
    case FailureKind::Undecodable: return "undecodable";
    case FailureKind::BadRequest: return "bad-request";
    case FailureKind::DiskFull: return "disk-full";
    case FailureKind::AccessDenied: return "access-denied";
    case FailureKind::InUse: return "in-use";
    case FailureKind::BadPath: return "bad-path";
    case FailureKind::LocalIo: return "local-io";
    case FailureKind::ConfigUnusable: return "config-unusable";
    case FailureKind::FolderBlocked: return "folder-blocked";
    }
    return "unknown";
}

std::string DescribeFailure(const Failure& failure) {
    std::string codes;
    if (failure.HttpStatus != 0) codes = "HTTP " + std::to_string(failure.HttpStatus);
    if (failure.Error != 0) codes += (codes.empty() ? "" : ", ") + ("error " + std::to_string(failure.Error));
    std::string text = KindName(failure.Kind);
    if (!codes.empty()) text += " (" + codes + ")";
    if (!failure.Detail.empty()) text += ": " + failure.Detail;
    return text;
}
