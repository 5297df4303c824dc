#include "config/config_syntax.h"

#include "base/gbk_text.h"
#include "base/text_rules.h"

namespace {
constexpr size_t kNoSection = static_cast<size_t>(-1);
constexpr size_t kNoEntry = static_cast<size_t>(-1);
constexpr size_t kLinearScanLimit = 8;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

std::string_view Unquote(std::string_view value) {
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') return value.substr(1, value.size() - 2);
    return value;
}

bool HasLineBreak(std::string_view text) { return text.find_first_of("\r\n") != std::string_view::npos; }

// A value whose outer blanks or quotes the parser would strip.
bool NeedsQuotes(std::string_view value) {
    if (value.empty()) return false;
    return IsBlank(value.front()) || IsBlank(value.back()) || Unquote(value).size() != value.size();
}
}  // namespace

ConfigDocument ConfigDocument::Parse(std::string_view bytes) {
    std::string converted;
    if (bytes.starts_with(kUtf8ByteOrderMark)) {
        converted = Utf8ToGbk(bytes.substr(kUtf8ByteOrderMark.size()));
        bytes = converted;
    }

    ConfigDocument document;
    size_t current = kNoSection;  // also while inside an ignored duplicate section
    size_t lineStart = 0;
    while (lineStart < bytes.size()) {
        size_t lineEnd = bytes.find('\n', lineStart);
        if (lineEnd == std::string_view::npos) lineEnd = bytes.size();
        const std::string_view line = Trim(bytes.substr(lineStart, lineEnd - lineStart));
        lineStart = lineEnd + 1;

        if (line.empty() || line.front() == ';' || line.front() == '#') continue;
        if (line.front() == '[') {
            // The last ']' closes the name, so names such as "a[1].txt" survive;
            // a line with no ']' at all is no section header and is ignored.
            const size_t close = line.rfind(']');
            if (close == std::string_view::npos) continue;
            const std::string_view name = Trim(line.substr(1, close - 1));
            current = document.FindSection(name) ? kNoSection : document.sections_.size();
            if (current != kNoSection) document.AddSection(name);
            continue;
        }
        if (current == kNoSection) continue;

        const size_t equals = line.find('=');
        const std::string_view key = Trim(line.substr(0, equals));
        if (key.empty()) continue;
        const std::string_view value =
            equals == std::string_view::npos ? std::string_view() : Unquote(Trim(line.substr(equals + 1)));
        AddEntry(document.sections_[current], key, value);
    }
    return document;
}

ConfigDocument::Section* ConfigDocument::FindSection(std::string_view name) {
    const auto found = sectionIndex_.find(FoldAsciiCase(name));
    return found == sectionIndex_.end() ? nullptr : &sections_[found->second];
}

const ConfigDocument::Section* ConfigDocument::FindSection(std::string_view name) const {
    const auto found = sectionIndex_.find(FoldAsciiCase(name));
    return found == sectionIndex_.end() ? nullptr : &sections_[found->second];
}

ConfigDocument::Section& ConfigDocument::AddSection(std::string_view name) {
    sectionIndex_.emplace(FoldAsciiCase(name), sections_.size());
    Section& section = sections_.emplace_back();
    section.Name = name;
    return section;
}

size_t ConfigDocument::FindEntry(const Section& section, const std::string& foldedKey) {
    if (!section.KeyIndex.empty()) {
        const auto found = section.KeyIndex.find(foldedKey);
        return found == section.KeyIndex.end() ? kNoEntry : found->second;
    }
    for (size_t i = 0; i < section.Entries.size(); ++i) {
        if (section.Entries[i].Folded == foldedKey) return i;
    }
    return kNoEntry;
}

void ConfigDocument::AddEntry(Section& section, std::string_view key, std::string_view value) {
    std::string folded = FoldAsciiCase(key);
    if (const size_t first = FindEntry(section, folded); first != kNoEntry) {
        section.Entries[first].Repeats.emplace_back(value);  // the first one wins
        return;
    }
    section.Entries.push_back(Entry{std::string(key), std::move(folded), std::string(value), {}});
    const size_t count = section.Entries.size();
    if (count > kLinearScanLimit + 1) {
        section.KeyIndex.emplace(section.Entries.back().Folded, count - 1);
    } else if (count == kLinearScanLimit + 1) {
        for (size_t i = 0; i < count; ++i) section.KeyIndex.emplace(section.Entries[i].Folded, i);
    }
}

const std::string* ConfigDocument::Find(std::string_view section, std::string_view key) const {
    const Section* found = FindSection(section);
    if (!found) return nullptr;
    const size_t entry = FindEntry(*found, FoldAsciiCase(key));
    return entry == kNoEntry ? nullptr : &found->Entries[entry].Value;
}

void ConfigDocument::AppendValues(std::string_view section, std::string_view key,
                                  std::vector<std::string>& values) const {
    const Section* found = FindSection(section);
    if (!found) return;
    const size_t entry = FindEntry(*found, FoldAsciiCase(key));
    if (entry == kNoEntry) return;
    values.push_back(found->Entries[entry].Value);
    values.insert(values.end(), found->Entries[entry].Repeats.begin(), found->Entries[entry].Repeats.end());
}

void ConfigDocument::AppendSectionNames(std::vector<std::string>& names) const {
    for (const Section& section : sections_) names.push_back(section.Name);
}

void ConfigDocument::AppendEntryNames(std::string_view section, std::vector<std::string>& names) const {
    const Section* found = FindSection(section);
    if (!found) return;
    for (const Entry& entry : found->Entries) names.push_back(entry.Key);
}

bool ConfigDocument::IsWritable(std::string_view section, std::string_view key, std::string_view value) {
    if (section.empty() || Trim(section) != section || HasLineBreak(section)) return false;
    if (key.empty() || Trim(key) != key || HasLineBreak(key) || key.find('=') != std::string_view::npos) return false;
    if (key.front() == '[' || key.front() == ';' || key.front() == '#') return false;
    return !HasLineBreak(value);
}

bool ConfigDocument::Set(std::string_view section, std::string_view key, std::string_view value) {
    if (!IsWritable(section, key, value)) return false;
    Section* target = FindSection(section);
    if (!target) target = &AddSection(section);
    const size_t entry = FindEntry(*target, FoldAsciiCase(key));
    if (entry != kNoEntry) {
        target->Entries[entry].Value = value;
        target->Entries[entry].Repeats.clear();
    } else {
        AddEntry(*target, key, value);
    }
    return true;
}

std::string ConfigDocument::Serialize() const {
    std::string text;
    for (const Section& section : sections_) {
        text += '[';
        text += section.Name;
        text += "]\r\n";
        for (const Entry& entry : section.Entries) {
            // Repeats read as nothing, but they are kept: a key whose rule
            // is not "the first wins" must not lose a value to another write.
            for (size_t i = 0; i <= entry.Repeats.size(); ++i) {
                const std::string& value = i == 0 ? entry.Value : entry.Repeats[i - 1];
                text += entry.Key;
                text += '=';
                if (NeedsQuotes(value)) {
                    text += '"';
                    text += value;
                    text += '"';
                } else {
                    text += value;
                }
                text += "\r\n";
            }
        }
    }
    return text;
}
