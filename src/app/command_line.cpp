#include "app/command_line.h"

#include <cctype>
#include <limits>

namespace {
unsigned char Lower(char c) { return static_cast<unsigned char>(std::tolower(static_cast<unsigned char>(c))); }

// The comparison runs over the argument's own length, so every prefix of
// "-silent" (even an empty argument) matches, and a longer one never does.
bool IsSilentSwitch(const std::string& argument) {
    static constexpr char kSilent[] = "-silent";
    if (argument.size() > sizeof(kSilent) - 1) return false;
    for (size_t i = 0; i < argument.size(); ++i) {
        if (Lower(argument[i]) != static_cast<unsigned char>(kSilent[i])) return false;
    }
    return true;
}

bool HasValuePrefix(const std::string& argument, char letter) {
    return argument.size() > 3 && argument[0] == '-' && Lower(argument[1]) == static_cast<unsigned char>(letter) &&
           argument[2] == ':';
}
}  // namespace

int32_t ParseLeadingInteger(const std::string& text, size_t maxChars) {
    const std::string_view digits = std::string_view(text).substr(0, maxChars);
    size_t i = 0;
    while (i < digits.size() && std::isspace(static_cast<unsigned char>(digits[i]))) ++i;
    bool negative = false;
    if (i < digits.size() && (digits[i] == '+' || digits[i] == '-')) negative = digits[i++] == '-';
    int64_t value = 0;
    constexpr int64_t kLimit = static_cast<int64_t>(std::numeric_limits<int32_t>::max()) + 1;
    for (; i < digits.size() && std::isdigit(static_cast<unsigned char>(digits[i])); ++i) {
        value = value * 10 + (digits[i] - '0');
        if (value > kLimit) value = kLimit;  // ten digits cannot overflow int64, but keep it bounded
    }
    if (negative) return static_cast<int32_t>(-value);  // -2^31 at the most, which fits
    return value > std::numeric_limits<int32_t>::max() ? std::numeric_limits<int32_t>::max() : static_cast<int32_t>(value);
}

RunRequest ParseCommandLine(const std::vector<std::string>& arguments) {
    static constexpr size_t kTypeDigits = 10;
    static constexpr size_t kMaxNameLength = 259;
    RunRequest request;
    for (const std::string& argument : arguments) {
        if (IsSilentSwitch(argument)) {
            request.Silent = true;
        } else if (HasValuePrefix(argument, 't')) {
            request.Type = ParseLeadingInteger(argument.substr(3), kTypeDigits);
        } else if (HasValuePrefix(argument, 'd')) {
            request.Name = argument.substr(3, kMaxNameLength);
        }
    }
    return request;
}
