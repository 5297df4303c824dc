#include "config_tool.h"

#include "config/crypt_config_store.h"
#include "base/file_io.h"

namespace {
constexpr const char* kUsage =
    "usage: configtool get FILE SECTION KEY\n"
    "       configtool set FILE SECTION KEY VALUE\n"
    "       configtool dump FILE\n"
    "       configtool encrypt PLAIN ENCRYPTED\n"
    "Files are read plain or encrypted; written files are always encrypted.\n";

const std::string kNoKey;

// The file's content, or a message when it cannot be used. A missing file is
// an error only where the command needs one.
bool Load(const std::string& path, bool mayBeMissing, CryptConfigContent& content, std::string& err) {
    content = LoadCryptConfig(path, kNoKey);
    switch (content.State) {
    case CryptConfigState::Encrypted:
    case CryptConfigState::Plain:
        return true;
    case CryptConfigState::Missing:
        if (mayBeMissing) return true;
        err += "configtool: " + path + ": no such file\n";
        return false;
    case CryptConfigState::Corrupt:
        err += "configtool: " + path + ": corrupt or not a configuration file (bad tag or truncated)\n";
        return false;
    case CryptConfigState::NotText:
        err += "configtool: " + path + ": not configuration text (saved as UTF-16?)\n";
        return false;
    case CryptConfigState::Unreadable:
        break;
    }
    err += "configtool: " + path + ": cannot be read\n";
    return false;
}

int Get(const std::vector<std::string>& a, std::string& out, std::string& err) {
    CryptConfigContent content;
    if (!Load(a[1], false, content, err)) return kToolFailed;
    const std::string* value = content.Document.Find(a[2], a[3]);
    if (!value) {
        err += "configtool: [" + a[2] + "] " + a[3] + ": not found\n";
        return kToolNotFound;
    }
    out += *value + "\n";
    return kToolOk;
}

int Set(const std::vector<std::string>& a, std::string& err) {
    if (!ConfigDocument::IsWritable(a[2], a[3], a[4])) {
        err += "configtool: names must be non-empty without outer blanks, a key without '=' and no line breaks\n";
        return kToolUsage;
    }
    const CryptConfigContent content = LoadCryptConfig(a[1], kNoKey);
    if (content.State == CryptConfigState::Unreadable) {
        err += "configtool: " + a[1] + ": cannot be read\n";
        return kToolFailed;
    }
    ConfigDocument document = content.Document;
    document.Set(a[2], a[3], a[4]);
    if (!StoreCryptConfig(a[1], kNoKey, document, content)) {
        err += "configtool: " + a[1] + ": cannot be written\n";
        return kToolFailed;
    }
    // As the updater does: a corrupt file is replaced, its bytes kept aside.
    if (content.State == CryptConfigState::Corrupt)
        err += "configtool: " + a[1] + " was corrupt; its old bytes are kept as " + a[1] + std::string(kCorruptSuffix) + "\n";
    return kToolOk;
}

int Dump(const std::vector<std::string>& a, std::string& out, std::string& err) {
    CryptConfigContent content;
    if (!Load(a[1], false, content, err)) return kToolFailed;
    out += content.Document.Serialize();
    return kToolOk;
}

int Encrypt(const std::vector<std::string>& a, std::string& err) {
    std::string plain;
    if (ReadWholeFile(a[1], kMaxConfigFileBytes, plain) != FileReadStatus::Ok) {
        err += "configtool: " + a[1] + ": cannot be read\n";
        return kToolFailed;
    }
    std::string bytes;
    if (!EncodeCryptConfig(ConfigDocument::Parse(plain), kNoKey, bytes) || !ReplaceFileAtomically(a[2], bytes)) {
        err += "configtool: " + a[2] + ": cannot be written\n";
        return kToolFailed;
    }
    return kToolOk;
}
}  // namespace

int RunConfigTool(const std::vector<std::string>& arguments, std::string& out, std::string& err) {
    const std::string command = arguments.empty() ? std::string() : arguments[0];
    const size_t count = arguments.size();
    if (command == "get" && count == 4) return Get(arguments, out, err);
    if (command == "set" && count == 5) return Set(arguments, err);
    if (command == "dump" && count == 2) return Dump(arguments, out, err);
    if (command == "encrypt" && count == 3) return Encrypt(arguments, err);
    err += kUsage;
    return kToolUsage;
}
