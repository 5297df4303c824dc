#include "framework/application_win.h"

#include <windows.h>

int RunApplication(CApplication& application) {
    if (!application.InitInstance()) return application.ExitCode();
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}
