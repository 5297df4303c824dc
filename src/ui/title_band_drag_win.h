#pragma once
// The skinned dialogs have no caption: their top band stands in for it.
#include <windows.h>

// Height of the band that moves the window, in pixels from the client top.
constexpr int kTitleBandHeight = 30;

// For a left button press at clientPoint: inside the band, posts the caption
// press that lets the system move window with the mouse, and returns true.
// The press itself still goes to the default processing afterwards.
bool BeginTitleBandDrag(HWND window, POINT clientPoint);
