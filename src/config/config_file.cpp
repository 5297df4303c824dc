#include "config/config_file.h"

#include "base/number_text.h"
#include "config/crypt_config_store.h"
#include "base/file_io.h"


namespace {
constexpr int32_t kFound = 0;
constexpr int32_t kDefaulted = -1;

int32_t ReadStringFrom(const ConfigDocument& document, const std::string& section, const std::string& key,
                       const std::string& defaultValue, std::string& value) {
    const std::string* found = document.Find(section, key);
    value = found ? *found : defaultValue;
    return found ? kFound : kDefaulted;
}

// atoi's syntax (leading blanks, sign, digits, anything after ignored),
// saturating at the 32-bit limits.
int32_t ReadIntegerFrom(const ConfigDocument& document, const std::string& section, const std::string& key,
                        int32_t defaultValue) {
    const std::string* found = document.Find(section, key);
    return found ? ParseLeadingInteger(*found, found->size()) : defaultValue;
}
}  // namespace

struct CConfigFile::Impl {
    ConfigDocument Document;
};

CConfigFile::CConfigFile(const std::string& path) : impl_(std::make_unique<Impl>()) {
    std::string bytes;
    if (ReadWholeFile(path, kMaxConfigFileBytes, bytes) == FileReadStatus::Ok) impl_->Document = ConfigDocument::Parse(bytes);
}

CConfigFile::CConfigFile(ConfigDocument document) : impl_(std::make_unique<Impl>()) {
    impl_->Document = std::move(document);
}

CConfigFile::~CConfigFile() = default;
CConfigFile::CConfigFile(CConfigFile&&) noexcept = default;
CConfigFile& CConfigFile::operator=(CConfigFile&&) noexcept = default;

int32_t CConfigFile::ReadString(const std::string& section, const std::string& key, const std::string& defaultValue,
                                std::string& value) const {
    return ReadStringFrom(impl_->Document, section, key, defaultValue, value);
}

int32_t CConfigFile::ReadInteger(const std::string& section, const std::string& key, int32_t defaultValue) const {
    return ReadIntegerFrom(impl_->Document, section, key, defaultValue);
}

void CConfigFile::ReadSection(const std::string& section, std::vector<std::string>& names) const {
    impl_->Document.AppendEntryNames(section, names);
}

void CConfigFile::ReadSections(std::vector<std::string>& names) const { impl_->Document.AppendSectionNames(names); }

// Every write goes straight through: re-read the file, merge, replace. A
// write that fails stays pending, is retried with the next write and, at the
// latest, when the object is re-targeted or destroyed.
struct CCryptConfigFile::Impl {
    std::string Path;
    std::string Key;
    ConfigDocument Document;  // what the last read or write saw, pending writes included
    CryptConfigState State = CryptConfigState::Missing;
    std::vector<CCryptConfigFile::Entry> Pending;

    void Load() {
        CryptConfigContent content = LoadCryptConfig(Path, Key);
        State = content.State;
        Document = std::move(content.Document);
        for (const CCryptConfigFile::Entry& write : Pending) Document.Set(write.Section, write.Key, write.Value);
    }

    Status Flush() {
        if (Pending.empty()) return {};
        const CryptConfigContent current = LoadCryptConfig(Path, Key);
        ConfigDocument merged = current.Document;
        for (const CCryptConfigFile::Entry& write : Pending) merged.Set(write.Section, write.Key, write.Value);
        Status stored = StoreCryptConfig(Path, Key, merged, current);
        Document = std::move(merged);  // reads see the values even when they are still pending
        if (stored) Pending.clear();
        return stored;
    }
};

CCryptConfigFile::CCryptConfigFile(const std::string& path, const std::string& key) : impl_(std::make_unique<Impl>()) {
    impl_->Path = path;
    impl_->Key = key;
    impl_->Load();
}

CCryptConfigFile::~CCryptConfigFile() { (void)impl_->Flush(); }

int32_t CCryptConfigFile::Initialize(const std::string& path, const std::string& key) {
    const bool flushed = static_cast<bool>(impl_->Flush());
    // What could not be written to the old file must not land in the new one.
    impl_->Pending.clear();
    impl_->Path = path;
    impl_->Key = key;
    impl_->Load();
    return flushed ? kFound : kDefaulted;
}

int32_t CCryptConfigFile::ReadString(const std::string& section, const std::string& key,
                                     const std::string& defaultValue, std::string& value) const {
    return ReadStringFrom(impl_->Document, section, key, defaultValue, value);
}

int32_t CCryptConfigFile::ReadInteger(const std::string& section, const std::string& key, int32_t defaultValue) const {
    return ReadIntegerFrom(impl_->Document, section, key, defaultValue);
}

int32_t CCryptConfigFile::WriteString(const std::string& section, const std::string& key, const std::string& value) {
    return Write(section, key, value) ? kFound : kDefaulted;
}

Status CCryptConfigFile::Write(const std::string& section, const std::string& key, const std::string& value) {
    return Write(std::vector<Entry>{{section, key, value}});
}

Status CCryptConfigFile::Write(const std::vector<Entry>& entries) {
    for (const Entry& entry : entries) {
        if (!ConfigDocument::IsWritable(entry.Section, entry.Key, entry.Value)) {
            return Failure{FailureKind::BadRequest, 0, 0,
                           "[" + entry.Section + "] " + entry.Key + " cannot hold that value"};
        }
    }
    impl_->Pending.insert(impl_->Pending.end(), entries.begin(), entries.end());
    return impl_->Flush();
}

void CCryptConfigFile::ReadSection(const std::string& section, std::vector<std::string>& names) const {
    impl_->Document.AppendEntryNames(section, names);
}

void CCryptConfigFile::ReadValues(const std::string& section, const std::string& key,
                                  std::vector<std::string>& values) const {
    impl_->Document.AppendValues(section, key, values);
}

CryptConfigState CCryptConfigFile::State() const { return impl_->State; }

int32_t CCryptConfigFile::WriteInteger(const std::string& section, const std::string& key, int32_t value) {
    return WriteString(section, key, std::to_string(value));
}
