#include "manifest/release_statement.h"

#include "base/base64.h"
#include "base/number_text.h"

#include <algorithm>
#include <array>
#include <limits>

namespace {

enum Field { kTarget, kPublished, kExpires, kManifestSha256, kSignature, kFieldCount };

struct FieldForm {
    std::string_view Name;
    bool Required;
    const char* Expected;  // what a value must be, as the refusal says it
};

constexpr std::array<FieldForm, kFieldCount> kFields = {{
    {"target", true, "program, or package and a type above 1"},
    {"published", true, "a UTC time YYYY-MM-DDTHH:MM:SSZ"},
    {"expires", false, "a UTC time YYYY-MM-DDTHH:MM:SSZ"},
    {"manifest-sha256", true, "64 lower-case hexadecimal digits"},
    {"signature", true, "base64 of 64 bytes"},
}};

constexpr std::string_view kPackagePrefix = "package ";
constexpr size_t kMaxShownBytes = 72;

// A server's bytes as a log may show them: every byte that is not printable
// ASCII is named, so that a carriage return of a statement saved with CRLF
// is seen for what it is.
std::string Shown(std::string_view bytes) {
    constexpr char kDigits[] = "0123456789abcdef";
    std::string shown;
    for (const char c : bytes.substr(0, kMaxShownBytes)) {
        switch (c) {
        case '\r': shown += "\\r"; break;
        case '\n': shown += "\\n"; break;
        case '\t': shown += "\\t"; break;
        case '\\': shown += "\\\\"; break;
        default:
            if (c >= 0x20 && c < 0x7f) {
                shown += c;
            } else {
                const auto byte = static_cast<unsigned char>(c);
                shown += {'\\', 'x', kDigits[byte >> 4], kDigits[byte & 15]};
            }
        }
    }
    if (bytes.size() > kMaxShownBytes) shown += "...";
    return shown;
}

bool ParseTarget(std::string_view text, int32_t& type) {
    if (text == "program") {
        type = 1;
        return true;
    }
    if (!text.starts_with(kPackagePrefix)) return false;
    const std::string_view digits = text.substr(kPackagePrefix.size());
    const std::optional<uint64_t> number = ParseDecimalCount(digits);
    // One spelling per type: no leading zero; 1 is the program's.
    if (!number || digits[0] == '0' || *number < 2 || *number > std::numeric_limits<int32_t>::max()) return false;
    type = static_cast<int32_t>(*number);
    return true;
}

bool ParseLowerHex(std::string_view text, Sha256Digest& digest) {
    if (text.size() != digest.size() * 2) return false;
    for (size_t i = 0; i < digest.size(); ++i) {
        uint8_t byte = 0;
        for (const char c : text.substr(i * 2, 2)) {
            const bool decimal = c >= '0' && c <= '9';
            if (!decimal && !(c >= 'a' && c <= 'f')) return false;
            byte = static_cast<uint8_t>(byte * 16 + (decimal ? c - '0' : c - 'a' + 10));
        }
        digest[i] = byte;
    }
    return true;
}

bool ParseValue(Field field, std::string_view value, ReleaseStatement& statement) {
    switch (field) {
    case kTarget:
        return ParseTarget(value, statement.Target);
    case kPublished:
    case kExpires: {
        const std::optional<UtcTime> time = ParseUtcTime(value);
        if (!time) return false;
        (field == kPublished ? statement.Published : statement.Expires.emplace()) = *time;
        return true;
    }
    case kManifestSha256:
        return ParseLowerHex(value, statement.ManifestSha256);
    case kSignature: {
        std::string bytes;
        if (!DecodeBase64(value, bytes) || bytes.size() != statement.Signature.size()) return false;
        std::copy(bytes.begin(), bytes.end(), statement.Signature.begin());
        return true;
    }
    case kFieldCount:
        break;
    }
    return false;
}

ParsedStatement Defect(std::string name, std::string_view stated, std::string expected) {
    ParsedStatement parsed;
    parsed.Defect = {std::move(name), Shown(stated), std::move(expected)};
    return parsed;
}

}  // namespace

std::string FormatReleaseTarget(int32_t type) {
    return type == 1 ? std::string("program") : std::string(kPackagePrefix) + std::to_string(type);
}

std::string FormatStatementBody(const ReleaseStatement& statement) {
    std::string text = "target=" + FormatReleaseTarget(statement.Target) + "\n";
    text += "published=" + FormatUtcTime(statement.Published) + "\n";
    if (statement.Expires) text += "expires=" + FormatUtcTime(*statement.Expires) + "\n";
    text += "manifest-sha256=" + LowerHex(statement.ManifestSha256.data(), statement.ManifestSha256.size()) + "\n";
    return text;
}

ParsedStatement ParseReleaseStatement(std::string_view text) {
    if (text.size() > kMaxStatementBytes) {
        return Defect("the statement", "", "at most " + std::to_string(kMaxStatementBytes) + " bytes");
    }
    ReleaseStatement statement;
    std::array<bool, kFieldCount> seen{};
    std::string_view signedPart;
    size_t lineNumber = 0;
    for (size_t at = 0; at < text.size();) {
        const std::string line = "line " + std::to_string(++lineNumber);
        const size_t end = text.find('\n', at);
        if (end == std::string_view::npos) return Defect(line, text.substr(at), "a line ended by LF");
        const std::string_view content = text.substr(at, end - at);
        if (seen[kSignature]) return Defect(line, content, "nothing after the signature");
        const size_t equals = content.find('=');
        if (equals == std::string_view::npos) return Defect(line, content, "name=value");
        const std::string_view name = content.substr(0, equals);
        const std::string_view value = content.substr(equals + 1);
        const auto form =
            std::find_if(kFields.begin(), kFields.end(), [&](const FieldForm& f) { return f.Name == name; });
        if (form == kFields.end()) {
            return Defect(Shown(name), value, "only target, published, expires, manifest-sha256 and signature");
        }
        const auto field = static_cast<Field>(form - kFields.begin());
        if (seen[field]) return Defect(std::string(name), value, "one " + std::string(name) + " line");
        if (!ParseValue(field, value, statement)) return Defect(std::string(name), value, form->Expected);
        seen[field] = true;
        if (field == kSignature) signedPart = text.substr(0, at);
        at = end + 1;
    }
    for (size_t field = 0; field < kFieldCount; ++field) {
        if (kFields[field].Required && !seen[field]) {
            return Defect(std::string(kFields[field].Name), "", "a " + std::string(kFields[field].Name) + " line");
        }
    }
    ParsedStatement parsed;
    parsed.Statement = statement;
    parsed.SignedPart = signedPart;
    return parsed;
}
