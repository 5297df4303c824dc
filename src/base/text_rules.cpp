#include "base/text_rules.h"

#include <vector>

namespace {
// Splits a GBK text into characters of one or two bytes.
std::vector<std::string_view> Characters(std::string_view text) {
    std::vector<std::string_view> characters;
    for (size_t i = 0; i < text.size();) {
        const size_t length = GbkCharLength(text, i);
        characters.push_back(text.substr(i, length));
        i += length;
    }
    return characters;
}
}  // namespace

std::string FoldAsciiCase(std::string_view text) {
    std::string folded(text);
    for (size_t i = 0; i < folded.size(); i += GbkCharLength(folded, i)) {
        const auto c = static_cast<unsigned char>(folded[i]);
        if (c >= 'A' && c <= 'Z') folded[i] = static_cast<char>(c - 'A' + 'a');
    }
    return folded;
}

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && FoldAsciiCase(a) == FoldAsciiCase(b);
}

bool EndsWithIgnoringAsciiCase(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && EqualsIgnoringAsciiCase(text.substr(text.size() - suffix.size()), suffix);
}

bool MatchesWildcard(std::string_view name, std::string_view pattern) {
    if (pattern == "*.*") pattern = "*";
    const std::string foldedName = FoldAsciiCase(name);
    const std::string foldedPattern = FoldAsciiCase(pattern);
    const std::vector<std::string_view> text = Characters(foldedName);
    const std::vector<std::string_view> glob = Characters(foldedPattern);

    // Greedy matching with one back-track point: linear in practice, and
    // never exponential however many '*' the pattern holds.
    size_t t = 0, g = 0;
    size_t starGlob = std::string_view::npos, starText = 0;
    while (t < text.size()) {
        if (g < glob.size() && (glob[g] == "?" || glob[g] == text[t])) {
            ++t;
            ++g;
        } else if (g < glob.size() && glob[g] == "*") {
            starGlob = g++;
            starText = t;
        } else if (starGlob != std::string_view::npos) {
            g = starGlob + 1;
            t = ++starText;
        } else {
            return false;
        }
    }
    while (g < glob.size() && glob[g] == "*") ++g;
    return g == glob.size();
}
