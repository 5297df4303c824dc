#pragma once
// Base of the skinned controls: a subclassed control that paints itself over
// the skin. An opaque control (a button, a bar) draws off-screen over a copy
// of the parent's background that it covers and shows the result in one go.
// A see-through control (a text, a picture) draws straight over what the
// parent painted beneath it, so neighbours whose rectangles overlap never
// wipe each other; when its content changes, the parent's area under it is
// repainted with everything in it.
#include "framework/control_window_win.h"

#include <windows.h>

#include <string>

class CSkinControl : public CControlWindow {
public:
    // Sets the control's text (GBK).
    void SetText(const std::string& text) const;

protected:
    // Draws the control's content over the background already in dc.
    virtual void Paint(HDC dc, const RECT& client) = 0;
    // True for controls whose content lets the parent show through.
    virtual bool SeeThrough() const { return false; }
    // Repaints the control after its content changed.
    void Refresh() const;
    // Parent background, Paint(), then one copy to target.
    void Render(HDC target);
    // Resizes the control, keeping its top-left corner.
    void Resize(int width, int height) const;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
};

// Paints the part of control's parent that the control covers into dc, at
// the control's own client coordinates.
void PaintParentBackground(HWND control, HDC dc);
