#pragma once
// Runs a modal dialog and looks at it from inside its modal loop: the probe
// is called once, shortly after the window has appeared, and should end the
// dialog (a button press or EndDialog). A dialog still open after the probe
// is ended with kProbeLeftOpen.
#include "framework/dialog_win.h"

#include <windows.h>

#include <functional>
#include <string>

constexpr INT_PTR kProbeLeftOpen = -2;

enum class AfterProbe {
    EndIfOpen,   // the probe should have ended the dialog
    LetItRun,    // the dialog ends by itself (within half a minute)
};

INT_PTR RunWithProbe(CDialog& dialog, const std::function<void(HWND)>& probe,
                     AfterProbe after = AfterProbe::EndIfOpen);

// The control's text, GBK.
std::string ControlText(HWND dialog, int id);
// A text of the program's string table, GBK.
std::string ResourceText(UINT id);
bool ControlVisible(HWND dialog, int id);
// Presses a button the way a click does.
void Click(HWND dialog, int id);
// Sends a left button press at a client point and tells whether it left a
// caption press (WM_NCLBUTTONDOWN) in the queue; that press is removed, so
// no move loop starts.
bool PressStartsWindowMove(HWND dialog, POINT point);
