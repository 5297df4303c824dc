#include "app/update_app_win.h"

#include <windows.h>

namespace {
CUpdateApp theApp;
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return RunApplication(theApp); }
