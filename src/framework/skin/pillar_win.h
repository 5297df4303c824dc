#pragma once
// A horizontal bar that fills from the left in proportion to its position
// within its range. CPillar draws a plain bar; CProgressBar draws it from
// bitmaps.
#include "framework/skin/gdi_objects_win.h"
#include "framework/skin/skin_control_win.h"

#include <windows.h>

class CPillar : public CSkinControl {
public:
    void SetRange(int lower, int upper);
    void SetProgress(int position);
    int Upper() const { return upper_; }
    int Progress() const { return position_; }

    // The filled width for a bar of width pixels: 0 for an empty range,
    // clamped to 0..width.
    static int FilledWidth(int lower, int upper, int position, int width);

protected:
    void Paint(HDC dc, const RECT& client) override;
    virtual void DrawBar(HDC dc, const RECT& client, int filledWidth);

private:
    int lower_ = 0;
    int upper_ = 100;
    int position_ = 0;
};

class CProgressBar : public CPillar {
public:
    // BITMAP resources: the empty track, then the filled bar's left end,
    // middle (repeated) and right end, all of the track's height. The bar
    // takes the track's size.
    bool SetBmpResource(UINT track, UINT left, UINT middle, UINT right, HMODULE module = nullptr);

protected:
    void DrawBar(HDC dc, const RECT& client, int filledWidth) override;

private:
    BitmapHandle track_;
    BitmapHandle left_;
    BitmapHandle middle_;
    BitmapHandle right_;
};
