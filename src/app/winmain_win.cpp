#include "app/system_dlls_win.h"
#include "app/update_app_win.h"

#include <windows.h>

namespace {
CUpdateApp theApp;
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    RestrictDllSearchToSystem32();
    return RunApplication(theApp);
}
