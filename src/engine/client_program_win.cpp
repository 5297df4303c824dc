#include "engine/client_program_win.h"

#include "base/failure.h"
#include "base/gbk_text.h"
#include "base/path_info.h"
#include "engine/exit_status.h"

#include <windows.h>
#include <shellapi.h>

#include <algorithm>

namespace {
constexpr char kClientProgram[] = "QIRAClient.exe";
constexpr wchar_t kClientWindowClass[] = L"QIRACLIENT";
constexpr UINT kCloseTimeoutMs = 60000;
// ERROR_ELEVATION_REQUIRED, which the mingw-w64 headers do not define.
constexpr DWORD kElevationRequired = 740;

// A child process takes its parent's error mode when it is made (unless
// CREATE_DEFAULT_ERROR_MODE is asked for), and keeps it until it sets its
// own. With these flags the loader's box for a missing DLL or entry point
// and Windows Error Reporting's box for a crash are not shown, and the
// process ends at once with the status. Chosen over a job object with
// JOB_OBJECT_LIMIT_DIE_ON_UNHANDLED_EXCEPTION, which covers crashes alone
// (the loader's box is no exception), forces the same error mode on the
// program anyway, and cannot be entered by a process that a job without
// nesting holds (Windows 7). The price: this one instance of the program
// does not report its crashes to Windows Error Reporting, unless it sets
// its own error mode. Wine does not look at the error mode for a crash:
// it starts winedbg, whose crash dialog (unless switched off) keeps the
// process alive like Windows' box would.
constexpr UINT kStartErrorMode = SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX;

class ScopedErrorMode {
public:
    explicit ScopedErrorMode(UINT mode) : previous_(SetErrorMode(mode)) {}
    ~ScopedErrorMode() { SetErrorMode(previous_); }
    ScopedErrorMode(const ScopedErrorMode&) = delete;
    ScopedErrorMode& operator=(const ScopedErrorMode&) = delete;

private:
    UINT previous_;
};

// A program that asks for elevation cannot be made by CreateProcess from an
// updater that runs without it; the shell asks the user, as the updater's
// earlier ShellExecute did, and hands back the process (none, at times,
// for a start that it did not make itself). Made through the elevation
// service, the process does not inherit the updater's error mode.
bool StartElevated(const std::wstring& program, UniqueHandle& process, DWORD& error) {
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = L"open";
    info.lpFile = program.c_str();
    info.nShow = SW_SHOW;
    if (!ShellExecuteExW(&info)) {
        error = GetLastError();
        return false;
    }
    process.reset(info.hProcess);
    return true;
}
}  // namespace

void CloseClient() {
    const HWND client = FindWindowW(kClientWindowClass, nullptr);
    if (client == nullptr) return;
    // Bounded: a client that hangs in its close handler must not hold the
    // updater (and its single-instance mutex) forever.
    DWORD_PTR result = 0;
    SendMessageTimeoutW(client, WM_CLOSE, 0, 0, SMTO_NORMAL | SMTO_ABORTIFHUNG, kCloseTimeoutMs, &result);
}

std::optional<StartedClient> StartClient(const std::string& applicationFolder, uint32_t waitMs) {
    const std::string client = applicationFolder + kClientProgram;
    if (!FileExists(client)) return std::nullopt;
    Sleep(waitMs);
    const std::wstring program = Widen(client);
    std::wstring commandLine = L"\"" + program + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOW;
    PROCESS_INFORMATION process{};
    StartedClient started;
    started.StartedAt = GetTickCount64();
    BOOL created = FALSE;
    {
        const ScopedErrorMode inherited(kStartErrorMode);
        created = CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                 &startup, &process);
    }
    if (created) {
        CloseHandle(process.hThread);
        started.Process.reset(process.hProcess);
        return started;
    }
    DWORD error = GetLastError();
    if (error == kElevationRequired) {
        // Started, but with nothing to watch.
        if (StartElevated(program, started.Process, error) && !started.Process) return std::nullopt;
        // The consent prompt held ShellExecuteEx: the watch begins once the program runs.
        started.StartedAt = GetTickCount64();
    }
    if (!started.Process) started.Error = error;
    return started;
}

StartWatch WatchStart(const StartedClient& client, uint32_t seconds) {
    StartWatch watch;
    watch.Seconds = seconds;
    if (!client.Process) {
        watch.How = client.Error == ERROR_CANCELLED ? StartWatch::End::Declined : StartWatch::End::NotStarted;
        watch.Error = client.Error;
        return watch;
    }
    const uint64_t window = static_cast<uint64_t>(seconds) * 1000;
    const uint64_t passed = GetTickCount64() - client.StartedAt;
    const DWORD remaining = static_cast<DWORD>(std::min<uint64_t>(window - std::min(window, passed), INFINITE - 1));
    if (WaitForSingleObject(client.Process.get(), remaining) != WAIT_OBJECT_0) return watch;
    DWORD status = 0;
    GetExitCodeProcess(client.Process.get(), &status);
    watch.How = StartWatch::End::Exited;
    watch.ExitStatus = status;
    return watch;
}

bool StartWatch::Failed() const {
    return How == End::NotStarted || (How == End::Exited && IsFailedStartStatus(ExitStatus));
}

std::string StartWatch::Describe() const {
    const std::string within = "within " + std::to_string(Seconds) + " s";
    switch (How) {
    case End::StillRunning:
        return "still runs after " + std::to_string(Seconds) + " s";
    case End::Exited:
        return "ended " + within + " with " + DescribeExitStatus(ExitStatus);
    case End::NotStarted:
        return "could not be started: " + DescribeFailure(LocalFailure(Error));
    case End::Declined:
        return "was not started: the user declined its elevation";
    }
    return "";
}
