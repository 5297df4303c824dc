#include "engine/kept_release.h"

#include "base/file_io.h"
#include "base/text_rules.h"
#include "config/config_syntax.h"

#include <unordered_set>

namespace {
constexpr char kSection[] = "Kept";
constexpr char kReplacedSection[] = "Replaced";
constexpr char kAddedSection[] = "Added";
constexpr size_t kMaxRecordBytes = 64u << 20;

constexpr std::pair<KeptState, const char*> kStateNames[] = {
    {KeptState::Installing, "installing"},
    {KeptState::Installed, "installed"},
    {KeptState::RollingBack, "rolling back"},
};

// The record's text fields, written and read alike.
constexpr std::pair<const char*, std::string KeptRelease::*> kTextKeys[] = {
    {"ReleaseId", &KeptRelease::ReleaseId},
    {"NewVersion", &KeptRelease::NewVersion},
    {"OldVersion", &KeptRelease::OldVersion},
    {"InstalledVersion", &KeptRelease::InstalledVersion},
    {"RecordSection", &KeptRelease::RecordSection},
};
}  // namespace

Status WriteKeptRelease(const std::string& path, const KeptRelease& kept) {
    ConfigDocument document;
    bool writable = true;
    for (const auto& [state, name] : kStateNames) {
        if (state == kept.State) writable = document.Set(kSection, "State", name);
    }
    for (const auto& [key, field] : kTextKeys) writable = writable && document.Set(kSection, key, kept.*field);
    // Numbered keys: a name is a value, which may hold what a key may not ('=').
    size_t number = 0;
    for (const KeptName& entry : kept.Names) {
        writable = writable && document.Set(entry.Replaced ? kReplacedSection : kAddedSection,
                                            std::to_string(++number), entry.Name);
    }
    if (!writable) return Failure{FailureKind::BadRequest, 0, 0, "a version or name cannot be written as text"};
    return ReplaceFileAtomically(path, document.Serialize());
}

std::optional<KeptRelease> ReadKeptRelease(const std::string& path) {
    std::string bytes;
    if (ReadWholeFile(path, kMaxRecordBytes, bytes) != FileReadStatus::Ok) return std::nullopt;
    const ConfigDocument document = ConfigDocument::Parse(bytes);
    const std::string* state = document.Find(kSection, "State");
    if (!state) return std::nullopt;
    KeptRelease kept;
    bool known = false;
    for (const auto& [value, name] : kStateNames) {
        if (*state == name) {
            kept.State = value;
            known = true;
        }
    }
    if (!known) return std::nullopt;
    for (const auto& [key, field] : kTextKeys) {
        if (const std::string* found = document.Find(kSection, key)) kept.*field = *found;
    }
    // The numbers give the order across both sections.
    std::vector<std::pair<uint64_t, KeptName>> numbered;
    for (const auto& [section, replaced] : {std::pair{kReplacedSection, true}, std::pair{kAddedSection, false}}) {
        std::vector<std::string> keys;
        document.AppendEntryNames(section, keys);
        for (const std::string& key : keys) {
            const std::string* name = document.Find(section, key);
            if (name && !name->empty()) numbered.push_back({std::strtoull(key.c_str(), nullptr, 10), {*name, replaced}});
        }
    }
    std::stable_sort(numbered.begin(), numbered.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (auto& [number, entry] : numbered) kept.Names.push_back(std::move(entry));
    return kept;
}

KeptRelease KeepForInstall(const std::optional<KeptRelease>& existing, const std::string& releaseId,
                           const std::string& newVersion, const std::string& oldVersion,
                           const std::vector<std::string>& names,
                           const std::function<bool(const std::string&)>& isInstalled, bool& fresh) {
    const bool installedWhole = existing && existing->State == KeptState::Installed;
    fresh = !existing || existing->State == KeptState::RollingBack ||
            (installedWhole && existing->ReleaseId != releaseId);
    const bool notesNames = fresh || !installedWhole;
    KeptRelease kept = fresh ? KeptRelease{} : *existing;
    if (fresh) kept.OldVersion = oldVersion;
    kept.State = KeptState::Installing;
    kept.ReleaseId = releaseId;
    kept.NewVersion = newVersion;
    kept.InstalledVersion.clear();
    kept.RecordSection.clear();
    if (!notesNames) return kept;
    std::unordered_set<std::string> noted;
    for (const KeptName& entry : kept.Names) noted.insert(FoldAsciiCase(entry.Name));
    for (const std::string& name : names) {
        if (noted.insert(FoldAsciiCase(name)).second) kept.Names.push_back({name, isInstalled(name)});
    }
    return kept;
}
