#include "app/command_line.h"

#include "base/number_text.h"
#include "base/text_rules.h"

#include <string_view>

namespace {
// The comparison runs over the argument's own length, so every prefix of
// "-silent" (even an empty argument) matches, and a longer one never does.
bool IsSilentSwitch(const std::string& argument) {
    static constexpr std::string_view kSilent = "-silent";
    return argument.size() <= kSilent.size() && EqualsIgnoringAsciiCase(argument, kSilent.substr(0, argument.size()));
}

// "-t:" or "-d:" with something behind it.
bool HasValuePrefix(const std::string& argument, std::string_view prefix) {
    return argument.size() > prefix.size() && EqualsIgnoringAsciiCase(std::string_view(argument).substr(0, prefix.size()), prefix);
}
}  // namespace

RunRequest ParseCommandLine(const std::vector<std::string>& arguments) {
    static constexpr size_t kTypeDigits = 10;
    static constexpr size_t kMaxNameLength = 259;
    RunRequest request;
    for (const std::string& argument : arguments) {
        if (IsSilentSwitch(argument)) {
            request.Silent = true;
        } else if (HasValuePrefix(argument, "-t:")) {
            request.Type = ParseLeadingInteger(argument.substr(3), kTypeDigits);
        } else if (HasValuePrefix(argument, "-d:")) {
            request.Name = argument.substr(3, kMaxNameLength);
        }
    }
    return request;
}
