#include "framework/skin/pillar_win.h"

#include <algorithm>
#include <cstdint>

namespace {
SIZE BitmapSize(HBITMAP bitmap) {
    BITMAP info{};
    if (bitmap == nullptr || GetObjectW(bitmap, sizeof(info), &info) == 0) return {0, 0};
    return {info.bmWidth, info.bmHeight};
}

// Copies the part of bitmap given by (sourceX, width) to (x, 0) of dc.
void Blit(HDC dc, HDC scratch, HBITMAP bitmap, int x, int sourceX, int width, int height) {
    if (bitmap == nullptr || width <= 0) return;
    SelectedObject selected(scratch, bitmap);
    BitBlt(dc, x, 0, width, height, scratch, sourceX, 0, SRCCOPY);
}
}  // namespace

void CPillar::SetRange(int lower, int upper) {
    lower_ = lower;
    upper_ = upper;
    Invalidate();
}

void CPillar::SetProgress(int position) {
    position_ = position;
    Invalidate();
}

int CPillar::FilledWidth(int lower, int upper, int position, int width) {
    if (upper <= lower || width <= 0) return 0;
    const int64_t clamped = std::clamp<int64_t>(position, lower, upper);
    return static_cast<int>((clamped - lower) * width / (static_cast<int64_t>(upper) - lower));
}

void CPillar::Paint(HDC dc, const RECT& client) {
    DrawBar(dc, client, FilledWidth(lower_, upper_, position_, client.right - client.left));
}

void CPillar::DrawBar(HDC dc, const RECT& client, int filledWidth) {
    FrameRect(dc, &client, GetSysColorBrush(COLOR_BTNSHADOW));
    RECT filled = client;
    filled.right = filled.left + filledWidth;
    FillRect(dc, &filled, GetSysColorBrush(COLOR_HIGHLIGHT));
}

bool CProgressBar::SetBmpResource(UINT track, UINT left, UINT middle, UINT right, HMODULE module) {
    const HMODULE source = module != nullptr ? module : GetModuleHandleW(nullptr);
    auto load = [source](UINT id) {
        return BitmapHandle(static_cast<HBITMAP>(
            LoadImageW(source, MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    };
    track_ = load(track);
    left_ = load(left);
    middle_ = load(middle);
    right_ = load(right);
    const SIZE size = BitmapSize(track_.get());
    Resize(size.cx, size.cy);
    Invalidate();
    return track_ && left_ && middle_ && right_;
}

void CProgressBar::DrawBar(HDC dc, const RECT& client, int filledWidth) {
    if (!track_) {
        CPillar::DrawBar(dc, client, filledWidth);
        return;
    }
    MemoryDc scratch(CreateCompatibleDC(dc));
    const int height = client.bottom - client.top;
    const SIZE trackSize = BitmapSize(track_.get());
    Blit(dc, scratch.get(), track_.get(), 0, 0, std::min<int>(trackSize.cx, client.right), height);
    if (filledWidth <= 0) return;
    const int leftWidth = BitmapSize(left_.get()).cx;
    const int rightWidth = BitmapSize(right_.get()).cx;
    const int middleWidth = BitmapSize(middle_.get()).cx;
    if (filledWidth <= leftWidth + rightWidth) {
        // Too short for both ends: the left end's start and the right end's
        // finish, meeting in the middle.
        const int leftPart = filledWidth / 2;
        Blit(dc, scratch.get(), left_.get(), 0, 0, leftPart, height);
        Blit(dc, scratch.get(), right_.get(), leftPart, rightWidth - (filledWidth - leftPart), filledWidth - leftPart,
             height);
        return;
    }
    Blit(dc, scratch.get(), left_.get(), 0, 0, leftWidth, height);
    const int middleEnd = filledWidth - rightWidth;
    for (int x = leftWidth; middleWidth > 0 && x < middleEnd; x += middleWidth) {
        Blit(dc, scratch.get(), middle_.get(), x, 0, std::min(middleWidth, middleEnd - x), height);
    }
    Blit(dc, scratch.get(), right_.get(), middleEnd, 0, rightWidth, height);
}
