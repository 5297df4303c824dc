#include "publisher/release_scan.h"

#include "config/config_syntax.h"
#include "base/gbk_text.h"
#include "base/text_rules.h"
#include "manifest/listed_packs.h"
#include "manifest/name_check.h"
#include "manifest/release_signature.h"
#include "manifest/release_vocabulary.h"
#include "publisher/manifest_text.h"
#include "publisher/publisher_cli.h"

#include <algorithm>
#include <map>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// The manifest name of a relative path: components converted to GBK and
// joined with '\'. Empty when a component holds a '\' of its own (legal on
// Linux) or cannot be written in GBK.
std::string ManifestNameOf(const fs::path& relative) {
    std::string name;
    for (const fs::path& component : relative) {
        const std::string utf8 = Utf8Of(component);
        if (utf8.find('\\') != std::string::npos) return {};
        const std::string gbk = Utf8ToGbk(utf8);
        if (GbkToUtf8(gbk) != utf8) return {};
        if (!name.empty()) name += '\\';
        name += gbk;
    }
    return name;
}

}  // namespace

std::string ReasonToRefuseName(const std::string& manifestName, bool program) {
    if (!IsSafeManifestName(manifestName)) {
        return "not a safe relative file name (reserved or forbidden character, device name, "
               "trailing dot or blank)";
    }
    // "[FILES]" lists the bare name and every file has a "[name]" section:
    // both must read back as the same name.
    if (!ConfigDocument::IsWritable(manifestName, kSizeKey, "") ||
        !ConfigDocument::IsWritable(kFilesSection, manifestName, "")) {
        return "starts with a blank, '[', ';' or '#', or holds '=', which the manifest cannot carry";
    }
    const std::string folded = FoldAsciiCase(manifestName);
    if (folded == FoldAsciiCase(kVersionSection) || folded == FoldAsciiCase(kFilesSection)) {
        return "clashes with a manifest header section";
    }
    for (const std::string& manifest : ManifestFileNames(program)) {
        if (folded == FoldAsciiCase(manifest)) return "is the name the manifest is published under";
        if (folded == FoldAsciiCase(manifest + kSignatureSuffix)) return "is the name of the manifest's signature";
    }
    std::string slashed = folded;
    std::replace(slashed.begin(), slashed.end(), '\\', '/');
    if (IsPackFileName(slashed)) {
        return "is named like a pack (packs\\<hex>.pack), which the publisher writes and removes itself";
    }
    if (folded.ends_with(kTemporarySuffix)) {
        return std::string("ends in \"") + kTemporarySuffix + "\", which the publisher uses for its temporary files";
    }
    return {};
}

bool ScanRelease(const fs::path& folder, bool program, std::vector<ReleaseFile>& files,
                 std::vector<std::string>& refused, std::string& error) {
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) {
        error = "not a folder: " + Utf8Of(folder);
        return false;
    }
    std::vector<ReleaseFile> found;
    fs::recursive_directory_iterator it(folder, ec);
    for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (!it->is_regular_file(ec)) continue;
        const fs::path relative = it->path().lexically_relative(folder);
        const std::string name = ManifestNameOf(relative);
        if (name.empty()) {
            refused.push_back(Utf8Of(relative) + ": cannot be written in GBK as one manifest name");
            continue;
        }
        if (const std::string reason = ReasonToRefuseName(name, program); !reason.empty()) {
            refused.push_back(Utf8Of(relative) + ": " + reason);
            continue;
        }
        found.push_back({relative, name});
    }
    if (ec) {
        error = "cannot read " + Utf8Of(folder) + ": " + ec.message();
        return false;
    }

    std::sort(found.begin(), found.end(),
              [](const ReleaseFile& a, const ReleaseFile& b) { return a.ManifestName < b.ManifestName; });
    // The reader matches names without regard to ASCII letter case, so two
    // names that differ only so would share one section.
    std::map<std::string, const ReleaseFile*> byFoldedName;
    for (const ReleaseFile& file : found) {
        const auto [at, added] = byFoldedName.emplace(FoldAsciiCase(file.ManifestName), &file);
        if (!added) {
            refused.push_back(Utf8Of(file.Relative) + ": differs from " + Utf8Of(at->second->Relative) +
                              " only in letter case, and Windows takes both for one file");
        }
    }
    files = std::move(found);
    return true;
}
