#pragma once
// A C++ object that takes over an existing child window (a control of a
// dialog template) by subclassing it. The object sees every message of the
// control first through WindowProc(); what it does not handle goes on to the
// control's own procedure. The subclass is removed when the control is
// destroyed or the object goes away, whichever comes first, so neither can
// outlive the other.
#include <windows.h>

#include <string>

// The whole text of any window, as UTF-16.
std::wstring GetWindowWideText(HWND hwnd);

class CControlWindow {
public:
    CControlWindow() = default;
    CControlWindow(const CControlWindow&) = delete;
    CControlWindow& operator=(const CControlWindow&) = delete;
    virtual ~CControlWindow();

    // Subclasses the control; false when the window is missing or already
    // taken by another object.
    bool Attach(HWND control);
    void Detach();

    HWND GetSafeHwnd() const { return hwnd_; }
    void ShowWindow(int command) const;
    bool IsWindowVisible() const;
    void Invalidate() const;

    // Messages that the dialog reflects back to the control that caused them:
    // kReflectBase + the original message (WM_DRAWITEM for owner-drawn buttons).
    static constexpr UINT kReflectBase = WM_APP + 0x2000;

protected:
    // Called once the control is attached; the place for style changes.
    virtual void OnAttached() {}
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // The control's own processing of the message being handled.
    LRESULT Default(UINT message, WPARAM wParam, LPARAM lParam) const;

private:
    static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                         DWORD_PTR self);
    HWND hwnd_ = nullptr;
};
