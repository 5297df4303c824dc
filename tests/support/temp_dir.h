#pragma once
// A fresh folder per test, removed with everything in it afterwards. Paths
// are GBK texts ending with the platform's separator; relative names may use
// '\' on either platform.
#include <filesystem>
#include <string>

class TempDir {
public:
#ifdef _WIN32
    static constexpr char kSeparator = '\\';
#else
    static constexpr char kSeparator = '/';
#endif

    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return path_; }
    std::string File(const std::string& relative) const { return path_ + relative; }

    void Write(const std::string& relative, const std::string& bytes) const;
    std::string Read(const std::string& relative) const;
    bool Exists(const std::string& relative) const;

    static std::filesystem::path ToFsPath(const std::string& gbkPath);

private:
    std::string path_;
};
