#include "publisher/rollout_change.h"

#include "base/file_io.h"
#include "base/path_info.h"
#include "manifest/release_reader.h"
#include "manifest/release_signature.h"
#include "publisher/manifest_text.h"
#include "publisher/publish_options.h"
#include "publisher/publisher_cli.h"
#include "publisher/release_key.h"
#include "publisher/release_publisher.h"
#include "publisher/release_statements.h"

#include <filesystem>
#include <ostream>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {
ManifestLayout LayoutOf(const std::string& manifestName) {
    return manifestName == kPackageManifestName ? ManifestLayout::DataPackage : ManifestLayout::Program;
}

// When the new rollout's growth starts unless told, and the statements'
// plan: the publisher's clock, and for a signed release a time later than
// the tree's with the expiry the release already had.
bool PlanSigning(const PublishOptions& options, const std::string& gbkFolder, StatementPlan& plan,
                 std::ostream& log) {
    std::string error;
    if (!options.IsSigned()) {
        if (ReadPublisherClock(plan.Published, error)) return true;
        log << "publisher: " << error << '\n';
        return false;
    }
    if (!PlanStatements(options, gbkFolder, plan, log)) return false;
    if (const std::optional<ReleaseStatement> current = LatestStatementInTree(gbkFolder, options.IsProgram())) {
        plan.Expires = current->Expires;
    }
    if (plan.Expires && *plan.Expires <= plan.Published) {
        log << "publisher: the release of " << FormatReleaseTarget(plan.Target) << " expired "
            << FormatUtcTime(*plan.Expires) << "; publish it again instead\n";
        return false;
    }
    return true;
}
}  // namespace

std::string DescribePublishedRollout(int32_t type, const ReleaseRollout& rollout) {
    std::string text = FormatReleaseTarget(type) + " rolled out to " + FormatRolloutShare(rollout.Share) +
                       " % of installations";
    if (rollout.Growth) {
        text += ", growing to 100 % from " + FormatUtcTime(rollout.Growth->Start) + " by " +
                FormatUtcTime(rollout.Growth->End());
    } else if (rollout.Share == 0) {
        text += " (paused)";
    }
    return text;
}

bool ChangeRollout(const PublishOptions& options, std::ostream& log) {
    const std::string target = FormatReleaseTarget(options.PackageType);
    std::error_code ec;
    const fs::path folder = fs::weakly_canonical(options.OutputFolder / std::to_string(options.PackageType), ec);
    std::string gbkFolder;
    if (ec || !GbkPathOf(folder, gbkFolder)) {
        log << "publisher: the output folder cannot be used: " << Utf8Of(options.OutputFolder) << '\n';
        return false;
    }
    const char separator = static_cast<char>(fs::path::preferred_separator);
    std::vector<ManifestFile> manifests;
    std::vector<std::string> identities;
    bool signedBefore = false;
    for (const std::string& name : ManifestFileNames(options.IsProgram())) {
        const std::string path = gbkFolder + separator + name;
        ManifestFile manifest{name, {}};
        Release release;
        if (ReadWholeFile(path, kMaxManifestBytes, manifest.Text) != FileReadStatus::Ok ||
            !ReadRelease(manifest.Text, LayoutOf(name), options.PackageType, release)) {
            log << "publisher: no release of " << target << " to change: " << GbkToUtf8(path)
                << " is missing or no manifest\n";
            return false;
        }
        signedBefore = signedBefore || FileExists(path + kSignatureSuffix);
        identities.push_back(release.Header.ReleaseId);
        manifests.push_back(std::move(manifest));
    }
    if (signedBefore != options.IsSigned()) {
        log << "publisher: the release of " << target
            << (signedBefore ? " is signed: its rollout changes with --sign KEY only, or clients with a release key "
                               "refuse it\n"
                             : " is not signed: publish it again with --sign to sign it\n");
        return false;
    }
    EcdsaPrivateKey key;
    std::string error;
    if (options.IsSigned() && !LoadReleaseKey(options.SigningKeyFile, key, error)) {
        log << "publisher: " << error << '\n';
        return false;
    }
    StatementPlan plan;
    if (!PlanSigning(options, gbkFolder, plan, log)) return false;

    const ReleaseRollout rollout = options.Rollout->At(plan.Published);
    for (size_t i = 0; i < manifests.size(); ++i) {
        ManifestFile& manifest = manifests[i];
        manifest.Text = WithRollout(manifest.Text, LayoutOf(manifest.Name) == ManifestLayout::Program, rollout);
        Release reread;
        if (!ReadRelease(manifest.Text, LayoutOf(manifest.Name), options.PackageType, reread) ||
            reread.Header.ReleaseId != identities[i] || !(reread.Header.Rollout == rollout)) {
            log << "publisher: " << manifest.Name << " of " << target
                << " does not read back with the new rollout; nothing written\n";
            return false;
        }
    }
    if (options.IsSigned() && !AddStatements(key, plan, manifests, log)) return false;
    if (!WriteManifests(gbkFolder, manifests, log)) return false;
    log << "publisher: " << DescribePublishedRollout(options.PackageType, rollout) << '\n';
    return true;
}
