#include "publisher/release_statements.h"

#include "base/file_io.h"
#include "manifest/release_signature.h"
#include "publisher/manifest_text.h"
#include "publisher/publish_options.h"

#include <cstdlib>
#include <filesystem>
#include <ostream>

bool ReadPublisherClock(UtcTime& now, std::string& error) {
    const char* const testClock = std::getenv(kTestClockVariable);
    if (testClock == nullptr) {
        now = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
        return true;
    }
    const std::optional<UtcTime> time = ParseUtcTime(testClock);
    if (!time) {
        error = std::string(kTestClockVariable) + " is set but holds no time YYYY-MM-DDTHH:MM:SSZ";
        return false;
    }
    now = *time;
    return true;
}

std::optional<ReleaseStatement> LatestStatementInTree(const std::string& gbkTargetFolder, bool program) {
    const char separator = static_cast<char>(std::filesystem::path::preferred_separator);
    std::optional<ReleaseStatement> latest;
    for (const std::string& manifest : ManifestFileNames(program)) {
        std::string text;
        const std::string path = gbkTargetFolder + separator + manifest + kSignatureSuffix;
        if (ReadWholeFile(path, kMaxStatementBytes, text) != FileReadStatus::Ok) continue;
        const ParsedStatement parsed = ParseReleaseStatement(text);
        if (!parsed.Statement) continue;
        if (!latest || parsed.Statement->Published > latest->Published) latest = parsed.Statement;
    }
    return latest;
}

bool PlanStatements(const PublishOptions& options, const std::string& gbkTargetFolder, StatementPlan& plan,
                    std::ostream& log) {
    std::string error;
    if (!ReadPublisherClock(plan.Published, error)) {
        log << "publisher: " << error << '\n';
        return false;
    }
    plan.Target = options.PackageType;
    plan.Expires.reset();
    if (options.ExpiresDays) plan.Expires = plan.Published + std::chrono::days{*options.ExpiresDays};

    const std::optional<ReleaseStatement> inTree = LatestStatementInTree(gbkTargetFolder, options.IsProgram());
    if (!inTree || plan.Published > inTree->Published) return true;
    log << "publisher: the server tree holds a release for " << FormatReleaseTarget(plan.Target) << " published "
        << FormatUtcTime(inTree->Published) << "; this one would be published " << FormatUtcTime(plan.Published)
        << ": not later, so clients cannot tell which is newer";
    if (!options.AllowOlderTime) {
        log << " (has the clock gone back?); nothing written. --allow-older-time publishes it all the same\n";
        return false;
    }
    log << "; published as --allow-older-time asks\n";
    return true;
}

bool AddStatements(const EcdsaPrivateKey& key, const StatementPlan& plan, std::vector<ManifestFile>& manifests,
                   std::ostream& log) {
    const std::string keyLine = FormatReleaseKey(key.Public);
    std::vector<ManifestFile> signedManifests;
    for (ManifestFile& manifest : manifests) {
        ReleaseStatement statement;
        statement.Target = plan.Target;
        statement.Published = plan.Published;
        statement.Expires = plan.Expires;
        std::string text;
        std::string failure = "the system could not sign";
        if (ComputeSha256(manifest.Text, statement.ManifestSha256) && SignReleaseStatement(key, statement, text)) {
            const StatementVerdict verdict =
                CheckReleaseStatement(text, {manifest.Text, keyLine, plan.Target, plan.Published, std::nullopt});
            failure = verdict.IsVerified() ? std::string() : DescribeStatementVerdict(verdict);
        }
        if (!failure.empty()) {
            log << "publisher: cannot sign " << manifest.Name << " with the release key " << keyLine << ": " << failure
                << " (is the key file whole?)\n";
            return false;
        }
        log << "publisher: signed " << manifest.Name << " with the release key " << keyLine << ": "
            << FormatReleaseTarget(plan.Target) << ", published " << FormatUtcTime(plan.Published)
            << (plan.Expires ? ", expires " + FormatUtcTime(*plan.Expires) : std::string()) << '\n';
        const std::string statementName = manifest.Name + kSignatureSuffix;
        signedManifests.push_back(std::move(manifest));
        signedManifests.push_back({statementName, std::move(text)});
    }
    manifests = std::move(signedManifests);
    return true;
}
