#pragma once
// The rollout of a published release (manifest/release_rollout.h): how the
// publisher reports it, and the command that changes it without touching
// the release's files.
#include "manifest/release_rollout.h"

#include <cstdint>
#include <iosfwd>
#include <string>

struct PublishOptions;

// "program rolled out to 5.0 % of installations, growing to 100 % by
// 2026-12-14T00:00:00Z"
std::string DescribePublishedRollout(int32_t type, const ReleaseRollout& rollout);

// Rewrites the manifests of the release of options.PackageType in
// options.OutputFolder with options.Rollout, its growth starting now unless
// it names a start; every other line stays, the release's identity and the
// whole-manifest mark included. A signed release is signed again (only with
// --sign, so that clients with a release key never meet a manifest its
// statement does not name) at a publication time later than the tree's,
// with the expiry it had: clients that accepted the first statement accept
// the new one, and the release lives no longer than it was to. Each
// manifest is read back as a client will read it before any is replaced,
// and all are replaced together. False with the reason in log, and nothing
// written.
bool ChangeRollout(const PublishOptions& options, std::ostream& log);
