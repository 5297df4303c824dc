// Times one way of fetching files from a web server and prints
// "<seconds> <bytes>": the update component fetching the list as a run does
// (GetRemoteFiles), one file at a time ("component") or as many at once as
// it does by default ("parallel"), or the bare WinHTTP loop it is measured
// against (one session, one kept-alive connection, 64 KiB reads written
// straight to the file). "bare-replace" is the same loop writing to a
// temporary name and moving it over the target, as the component must: it
// shows what the safe replacement alone costs.
//
//   transfer_bench HOST PORT OUTDIR component|parallel|bare|bare-replace NAME [NAME...]
//   transfer_bench HOST PORT OUTDIR component|parallel|bare|bare-replace @LISTFILE
#include "transfer/transfer_win.h"
#include "base/handles_win.h"
#include "transfer/winhttp_handle_win.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {
std::wstring Ascii(const std::string& text) {
    return std::wstring(text.begin(), text.end());
}

std::string LocalName(const std::string& outDir, size_t index) {
    return outDir + "\\" + std::to_string(index) + ".bin";
}

int64_t FetchBare(HINTERNET connection, const std::string& name, const std::string& localPath, bool replace,
                  std::vector<char>& buffer) {
    const std::wstring path = L"/1/" + Ascii(name);
    const UniqueInternet request(WinHttpOpenRequest(connection, L"GET", path.c_str(), nullptr, WINHTTP_NO_REFERER,
                                                    WINHTTP_DEFAULT_ACCEPT_TYPES, 0));
    if (!request || !WinHttpSendRequest(request.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
        !WinHttpReceiveResponse(request.get(), nullptr)) {
        return -1;
    }
    const std::wstring target = Ascii(localPath);
    const std::wstring written = replace ? target + L".part" : target;
    UniqueFile file((CreateFileW(written.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                                  FILE_ATTRIBUTE_NORMAL, nullptr)));
    if (!file) return -1;
    int64_t total = 0;
    for (;;) {
        DWORD read = 0;
        if (!WinHttpReadData(request.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &read)) return -1;
        if (read == 0) break;
        DWORD done = 0;
        if (!WriteFile(file.get(), buffer.data(), read, &done, nullptr) || done != read) return -1;
        total += read;
    }
    file.reset();
    if (replace && !MoveFileExW(written.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) return -1;
    return total;
}

std::vector<std::string> Names(int argc, char** argv) {
    std::vector<std::string> names;
    for (int i = 5; i < argc; ++i) {
        if (argv[i][0] != '@') {
            names.emplace_back(argv[i]);
            continue;
        }
        std::ifstream list(argv[i] + 1);
        for (std::string line; std::getline(list, line);) {
            if (!line.empty()) names.push_back(line);
        }
    }
    return names;
}
}  // namespace

int main(int argc, char** argv) {
    if (argc < 6) {
        std::fprintf(stderr, "usage: transfer_bench HOST PORT OUTDIR component|parallel|bare|bare-replace NAME...|@LIST\n");
        return 2;
    }
    const std::string host = argv[1];
    const auto port = static_cast<uint16_t>(std::atoi(argv[2]));
    const std::string outDir = argv[3];
    const std::string mode = argv[4];
    const std::vector<std::string> names = Names(argc, argv);

    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    int64_t bytes = 0;
    if (mode == "component" || mode == "parallel") {
        CQIRAUpdateIntf component({{host, port}}, false);
        if (mode == "component") component.SetFilesAtOnce(1);
        std::vector<RemoteFile> files;
        for (size_t i = 0; i < names.size(); ++i) files.push_back({names[i], LocalName(outDir, i)});
        uint64_t fetched = 0;
        component.SetAttemptObserver([&](const TransferAttempt& attempt) { fetched += attempt.Bytes; });
        QueryPerformanceCounter(&start);
        if (!component.GetRemoteFiles(1, files).Fetched()) return std::fprintf(stderr, "failed\n"), 1;
        QueryPerformanceCounter(&end);
        bytes = static_cast<int64_t>(fetched);
    } else {
        const UniqueInternet session(WinHttpOpen(L"bench", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                                 WINHTTP_NO_PROXY_BYPASS, 0));
        const UniqueInternet connection(WinHttpConnect(session.get(), Ascii(host).c_str(), port, 0));
        std::vector<char> buffer(64 * 1024);
        QueryPerformanceCounter(&start);
        for (size_t i = 0; i < names.size(); ++i) {
            const int64_t size = FetchBare(connection.get(), names[i], LocalName(outDir, i), mode == "bare-replace", buffer);
            if (size < 0) return std::fprintf(stderr, "failed: %s\n", names[i].c_str()), 1;
            bytes += size;
        }
        QueryPerformanceCounter(&end);
    }
    const double seconds = static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
    std::printf("%.6f %lld\n", seconds, static_cast<long long>(bytes));
    return 0;
}
