#pragma once
// Sectioned key/value files. CConfigFile reads plain files (manifests);
// CCryptConfigFile reads and writes the encrypted ones ("Config.dat",
// "UserConfig.dat", "UpdateRecord.dat"). All texts are GBK.
//
// Missing files, sections and keys read as the caller's default; reading
// never fails from the caller's side. Section and key names match without
// regard to ASCII letter case; the first occurrence wins.
#include "config/config_syntax.h"
#include "config/crypt_config_store.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CConfigFile {
public:
    explicit CConfigFile(const std::string& path);
    // A document already read and parsed: a manifest is fetched and checked
    // as bytes, then read from exactly those bytes.
    explicit CConfigFile(ConfigDocument document);
    ~CConfigFile();
    CConfigFile(CConfigFile&&) noexcept;
    CConfigFile& operator=(CConfigFile&&) noexcept;
    CConfigFile(const CConfigFile&) = delete;
    CConfigFile& operator=(const CConfigFile&) = delete;

    // ReadString returns 0 when the key exists, -1 when the default was used;
    // ReadInteger returns the value itself.
    int32_t ReadString(const std::string& section, const std::string& key, const std::string& defaultValue,
                       std::string& value) const;
    int32_t ReadInteger(const std::string& section, const std::string& key, int32_t defaultValue) const;
    // Entry names of a section / all section names, in file order; appended to names.
    void ReadSection(const std::string& section, std::vector<std::string>& names) const;
    void ReadSections(std::vector<std::string>& names) const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

class CCryptConfigFile {
public:
    CCryptConfigFile(const std::string& path, const std::string& key);
    ~CCryptConfigFile();
    CCryptConfigFile(const CCryptConfigFile&) = delete;
    CCryptConfigFile& operator=(const CCryptConfigFile&) = delete;

    // Re-targets this object to another file (pending writes are flushed first).
    int32_t Initialize(const std::string& path, const std::string& key);

    int32_t ReadString(const std::string& section, const std::string& key, const std::string& defaultValue,
                       std::string& value) const;
    int32_t ReadInteger(const std::string& section, const std::string& key, int32_t defaultValue) const;
    // Entry names of a section in file order, appended to names.
    void ReadSection(const std::string& section, std::vector<std::string>& names) const;
    // Every value a repeated key holds, the binding one first (config_syntax.h).
    void ReadValues(const std::string& section, const std::string& key, std::vector<std::string>& values) const;
    // Returns 0 when the file was replaced with the value in it, -1 otherwise.
    int32_t WriteString(const std::string& section, const std::string& key, const std::string& value);
    // The same, with the reason when the file could not be replaced.
    Status Write(const std::string& section, const std::string& key, const std::string& value);
    // Several keys in one replace of the file: all of them or, on failure,
    // none yet (they stay pending, as a single write does).
    struct Entry {
        std::string Section;
        std::string Key;
        std::string Value;
    };
    Status Write(const std::vector<Entry>& entries);
    int32_t WriteInteger(const std::string& section, const std::string& key, int32_t value);

    // What the file was when it was last read: missing, encrypted, plain,
    // corrupt (its keys are lost) or unreadable (its keys are unknown).
    CryptConfigState State() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};
