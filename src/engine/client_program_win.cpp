#include "engine/client_program_win.h"

#include "base/path_info.h"
#include "base/gbk_text.h"

#include <windows.h>
#include <shellapi.h>

namespace {
constexpr char kClientProgram[] = "QIRAClient.exe";
constexpr wchar_t kClientWindowClass[] = L"QIRACLIENT";
constexpr UINT kCloseTimeoutMs = 60000;
}  // namespace

void CloseClient() {
    const HWND client = FindWindowW(kClientWindowClass, nullptr);
    if (client == nullptr) return;
    // Bounded: a client that hangs in its close handler must not hold the
    // updater (and its single-instance mutex) forever.
    DWORD_PTR result = 0;
    SendMessageTimeoutW(client, WM_CLOSE, 0, 0, SMTO_NORMAL | SMTO_ABORTIFHUNG, kCloseTimeoutMs, &result);
}

void RestartClient(const std::string& applicationFolder, uint32_t waitMs) {
    const std::string client = applicationFolder + kClientProgram;
    if (!FileExists(client)) return;
    Sleep(waitMs);
    ShellExecuteW(nullptr, L"OPEN", Widen(client).c_str(), L"", L"", SW_SHOW);
}
