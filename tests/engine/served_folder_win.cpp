#include "engine/served_folder_win.h"

#include "support/temp_dir.h"

#include <cstdlib>
#include <fstream>

namespace {
std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// Wine shows the Linux root as drive Z:.
std::string FromLinuxPath(const std::string& path) {
    std::string windows = "Z:" + path;
    for (char& c : windows) if (c == '/') c = '\\';
    return windows;
}

void WriteFile(const std::string& gbkPath, const std::string& bytes) {
    const auto target = TempDir::ToFsPath(gbkPath);
    std::filesystem::create_directories(target.parent_path());
    std::ofstream out(target, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// The value of "path" in one line of the server's log; the tests' paths
// hold no quotes or escapes.
std::string LoggedPath(const std::string& line) {
    const std::string marker = "\"path\": \"";
    const size_t start = line.find(marker);
    if (start == std::string::npos) return {};
    const size_t from = start + marker.size();
    return line.substr(from, line.find('"', from) - from);
}
}  // namespace

ServedFolder::ServedFolder() {
    const std::string address = Env("UPDATE_TEST_SERVER");
    const size_t colon = address.rfind(':');
    if (colon == std::string::npos) return;
    server_.Address = address.substr(0, colon);
    server_.Port = static_cast<uint16_t>(std::atoi(address.c_str() + colon + 1));
    root_ = FromLinuxPath(Env("UPDATE_TEST_ROOT")) + "\\";
    log_ = FromLinuxPath(Env("UPDATE_TEST_LOG"));
}

void ServedFolder::Put(uint32_t type, const std::string& gbkName, const std::string& bytes) const {
    WriteFile(root_ + std::to_string(type) + "\\" + gbkName, bytes);
}

void ServedFolder::SetFaults(const std::string& faultsJson) const {
    WriteFile(root_ + "_faults.json", faultsJson);
}

std::vector<std::string> ServedFolder::RequestedPaths() const {
    std::vector<std::string> paths;
    std::ifstream log(TempDir::ToFsPath(log_));
    for (std::string line; std::getline(log, line);) paths.push_back(LoggedPath(line));
    return paths;
}
