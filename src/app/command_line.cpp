#include "app/command_line.h"

#include "components/integer_text.h"

#include <cctype>

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
