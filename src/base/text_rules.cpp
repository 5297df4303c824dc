#include "base/text_rules.h"

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
