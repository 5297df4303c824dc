#include "support/temp_dir.h"

#include "base/gbk_text.h"

#include <atomic>
#include <chrono>
#include <fstream>
#include <sstream>
#include <system_error>

namespace fs = std::filesystem;

namespace {
// Through UTF-8 to GBK keeps this file free of <windows.h>.
std::string FromFsPath(const fs::path& path) {
    const std::u8string utf8 = path.u8string();
    return Utf8ToGbk(std::string(utf8.begin(), utf8.end()));
}
}  // namespace

fs::path TempDir::ToFsPath(const std::string& gbkPath) {
    std::string utf8 = GbkToUtf8(gbkPath);
#ifndef _WIN32
    for (char& c : utf8) if (c == '\\') c = '/';
#endif
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

TempDir::TempDir() {
    static std::atomic<unsigned> counter{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    std::ostringstream name;
    name << "upd-test-" << stamp << '-' << counter++;
    const fs::path dir = fs::temp_directory_path() / name.str();
    fs::create_directories(dir);
    path_ = FromFsPath(dir);
    if (path_.empty() || path_.back() != kSeparator) path_ += kSeparator;
}

TempDir::~TempDir() {
    std::error_code ignored;
    fs::path dir = ToFsPath(path_);
    // Read-only files would stop remove_all on Windows.
    for (auto it = fs::recursive_directory_iterator(dir, ignored); it != fs::recursive_directory_iterator(); it.increment(ignored)) {
        fs::permissions(it->path(), fs::perms::owner_write, fs::perm_options::add, ignored);
    }
    fs::remove_all(dir, ignored);
}

void TempDir::Write(const std::string& relative, const std::string& bytes) const {
    const fs::path target = ToFsPath(File(relative));
    fs::create_directories(target.parent_path());
    std::ofstream out(target, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string TempDir::Read(const std::string& relative) const {
    std::ifstream in(ToFsPath(File(relative)), std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

bool TempDir::Exists(const std::string& relative) const {
    std::error_code ignored;
    return fs::exists(ToFsPath(File(relative)), ignored);
}
