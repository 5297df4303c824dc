#pragma once
// The text form of configuration files: "[section]" lines, "key=value" lines
// and bare names, ';' and '#' comments, CRLF or LF. A document is indexed once
// when parsed, so every look-up is a hash probe and a manifest with a hundred
// thousand sections is read in time linear in its size.
//
// Names match without regard to ASCII letter case (a GBK character's second
// byte is never folded); the first occurrence of a section or of a key in it
// wins, later duplicates are ignored. Listings give each name once, in the
// order of first occurrence, spelled as in the file.
#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// Hand-edited files may begin with it; the text after it is UTF-8.
inline constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

class ConfigDocument {
public:
    // Any bytes are accepted. A UTF-8 byte-order mark at the start makes the
    // rest UTF-8, which is converted to GBK; otherwise the bytes are GBK.
    static ConfigDocument Parse(std::string_view bytes);

    // nullptr when the section or the key is missing.
    const std::string* Find(std::string_view section, std::string_view key) const;
    // Every value a key was given in its section, the one that binds first
    // and later repeats after it: for the few keys whose rule is not "the
    // first wins". A write keeps only the value it sets.
    void AppendValues(std::string_view section, std::string_view key, std::vector<std::string>& values) const;
    bool HasSection(std::string_view section) const { return FindSection(section) != nullptr; }
    void AppendSectionNames(std::vector<std::string>& names) const;
    void AppendEntryNames(std::string_view section, std::vector<std::string>& names) const;

    // Sets the value of an existing key (keeping its spelling) or appends the
    // key, and the section, when missing. False, and nothing changed, for
    // names or values that would not read back the same (see IsWritable).
    bool Set(std::string_view section, std::string_view key, std::string_view value);
    static bool IsWritable(std::string_view section, std::string_view key, std::string_view value);

    // "[section]" and "key=value" lines with CRLF; values that would lose
    // blanks or quotes when read back are wrapped in double quotes.
    std::string Serialize() const;

private:
    struct Entry {
        std::string Key;
        std::string Folded;  // FoldAsciiCase(Key)
        std::string Value;
        std::vector<std::string> Repeats;  // values of later lines with the same key
    };
    struct Section {
        std::string Name;
        std::vector<Entry> Entries;
        // Folded key -> Entries index, built only once a section outgrows a
        // linear scan: a manifest's many file sections hold two or three keys.
        std::unordered_map<std::string, size_t> KeyIndex;
    };

    Section* FindSection(std::string_view name);
    const Section* FindSection(std::string_view name) const;
    Section& AddSection(std::string_view name);
    static size_t FindEntry(const Section& section, const std::string& foldedKey);  // npos when missing
    static void AddEntry(Section& section, std::string_view key, std::string_view value);

    std::vector<Section> sections_;
    std::unordered_map<std::string, size_t> sectionIndex_;  // folded name -> sections_ index
};
