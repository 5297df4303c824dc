#include "support/served_tree_win.h"

#include "support/temp_dir.h"

#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

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

std::string JsonQuoted(const std::string& text) {
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') quoted += '\\';
        quoted += c;
    }
    return quoted + '"';
}

// The string value of "key" in one line of the server's JSON log.
std::string JsonString(const std::string& line, const std::string& key) {
    const std::string marker = "\"" + key + "\": \"";
    size_t at = line.find(marker);
    if (at == std::string::npos) return {};
    std::string value;
    for (at += marker.size(); at < line.size() && line[at] != '"'; ++at) {
        if (line[at] == '\\' && at + 1 < line.size()) ++at;
        value += line[at];
    }
    return value;
}

int JsonInt(const std::string& line, const std::string& key) {
    const std::string marker = "\"" + key + "\": ";
    const size_t at = line.find(marker);
    return at == std::string::npos ? 0 : std::atoi(line.c_str() + at + marker.size());
}
}  // namespace

ServedTree::ServedTree() {
    const std::string address = Env("UPDATE_TEST_SERVER");
    const size_t colon = address.rfind(':');
    if (colon == std::string::npos) return;
    server_.Address = address.substr(0, colon);
    server_.Port = static_cast<uint16_t>(std::atoi(address.c_str() + colon + 1));
    root_ = FromLinuxPath(Env("UPDATE_TEST_ROOT")) + "\\";
    log_ = FromLinuxPath(Env("UPDATE_TEST_LOG"));
    deadPort_ = static_cast<uint16_t>(std::atoi(Env("UPDATE_TEST_FREE_PORT").c_str()));
    ClearFaults();
}

S_UpdateSerivceAddr ServedTree::DeadServer() const {
    return {"127.0.0.1", deadPort_};
}

void ServedTree::Put(uint32_t type, const std::string& gbkName, const std::string& bytes) const {
    WriteFile(root_ + std::to_string(type) + "\\" + gbkName, bytes);
}

void ServedTree::SetFault(const std::string& utf8Path, const std::string& kind, const std::string& json) {
    faults_[utf8Path] = "{\"kind\": " + JsonQuoted(kind) + (json.empty() ? "" : ", " + json) + "}";
    WriteFaults();
}

void ServedTree::ClearFaults() {
    faults_.clear();
    WriteFaults();
}

void ServedTree::WriteFaults() const {
    std::string json = "{";
    for (const auto& [path, fault] : faults_) {
        if (json.size() > 1) json += ", ";
        json += JsonQuoted(path) + ": " + fault;
    }
    WriteFile(root_ + "_faults.json", json + "}");
}

std::vector<LoggedRequest> ServedTree::Requests() const {
    std::vector<LoggedRequest> requests;
    std::ifstream log(TempDir::ToFsPath(log_));
    for (std::string line; std::getline(log, line);) {
        requests.push_back({JsonString(line, "path"), JsonString(line, "raw"), JsonInt(line, "connection"),
                            JsonString(line, "host"), JsonString(line, "range"), JsonString(line, "if_range")});
    }
    return requests;
}

std::vector<LoggedRequest> ServedTree::RequestsUnder(const std::string& utf8Prefix) const {
    std::vector<LoggedRequest> matching;
    for (LoggedRequest& request : Requests()) {
        if (request.path.rfind(utf8Prefix, 0) == 0) matching.push_back(std::move(request));
    }
    return matching;
}

std::string RandomBytes(size_t size, unsigned seed) {
    std::mt19937 generator(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(generator());
    return bytes;
}
