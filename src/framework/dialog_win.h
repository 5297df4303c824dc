#pragma once
// The thin dialog layer that the updater's windows are built on.
//
// CDialog stands in for a class framework's modal dialog: a derived class is
// constructed with the id of a dialog template in the program's resources,
// the creator sets its data members, and DoModal() shows it and returns the
// value given to EndDialog(). Inside, OnInitDialog() runs the initial data
// exchange: DoDataExchange() binds member objects to template controls with
// DDX_Control (the member subclasses the control) and copies texts into the
// controls with DDX_Text.
//
// Messages reach a derived class through its message map: a static table of
// (message, control id, notification code) -> handler that the one dialog
// procedure reads, the derived class's table first and then its bases'.
// Build the entries with the helpers below and publish the table with
// GetMessageMap(), for example:
//
//     const CMessageMap* CMyDialog::GetThisMessageMap() {
//         static constexpr CMessageMapEntry entries[] = {
//             OnCommand<CMyDialog, &CMyDialog::OnClose>(IDC_CLOSE),
//             OnMouse<CMyDialog, &CMyDialog::OnLButtonDown>(WM_LBUTTONDOWN),
//         };
//         static constexpr CMessageMap map{&CBaseDialog::GetThisMessageMap, entries};
//         return &map;
//     }
//     const CMessageMap* CMyDialog::GetMessageMap() const { return GetThisMessageMap(); }
//
// Handlers may be private; the map's entries are built inside the class's
// own member function, which may name them.
//
// A dialog that OnInitDialog() leaves where the template put it is centred
// on its owner, or on the work area when it has none.
//
// No exception and no C++ object leaves the dialog procedure: a handler that
// throws ends the dialog with -1.
#include "framework/control_window_win.h"

#include <windows.h>

#include <span>
#include <string>

class CDialog;

// What a handler answers: handled (with its result), or left to the
// dialog's default processing.
struct CMessageResult {
    bool Handled = false;
    LRESULT Value = 0;
};

using CMessageInvoker = CMessageResult (*)(CDialog& dialog, WPARAM wParam, LPARAM lParam);

struct CMessageMapEntry {
    UINT Message;
    UINT ControlId;  // WM_COMMAND only
    UINT Code;       // WM_COMMAND only: the notification code
    CMessageInvoker Invoke;
};

struct CMessageMap {
    const CMessageMap* (*Base)();  // null for the root
    std::span<const CMessageMapEntry> Entries;
};

// Stands for the whole WM_CTLCOLORMSGBOX..WM_CTLCOLORSTATIC family; the
// handler gets the control kind (CTLCOLOR_*) and returns the brush.
constexpr UINT kCtlColorMessage = 0xFFFF0001;
struct CCtlColorArgs {
    HDC Dc;
    HWND Control;
    UINT Kind;
};

class CDataExchange {
public:
    CDataExchange(CDialog& dialog, bool saveAndValidate) : dialog_(dialog), saveAndValidate_(saveAndValidate) {}
    CDialog& Dialog() const { return dialog_; }
    bool SaveAndValidate() const { return saveAndValidate_; }
    // Cleared by the first exchange that cannot be done (a missing control).
    bool Succeeded() const { return succeeded_; }
    void Fail() { succeeded_ = false; }

private:
    CDialog& dialog_;
    bool saveAndValidate_;
    bool succeeded_ = true;
};

class CDialog {
public:
    // parent may be null: the dialog then has no owner window.
    explicit CDialog(UINT templateId, HWND parent = nullptr);
    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;
    virtual ~CDialog();

    // Shows the dialog modally; the EndDialog value, or -1 when the dialog
    // could not be created or a handler failed.
    INT_PTR DoModal();
    void EndDialog(INT_PTR result);

    HWND GetSafeHwnd() const { return hwnd_; }
    HWND GetDlgItem(int id) const;
    // Dialog texts are GBK. (With UNICODE, <windows.h> renames these two to
    // their W spellings everywhere, declarations and calls alike; the
    // std::string parameter keeps them apart from the API functions.)
    void SetWindowText(const std::string& text) const;
    std::string GetWindowText() const;
    // A text of the string table in the dialog's resource module, GBK; ""
    // when there is none.
    std::string LoadText(UINT id) const;

    // Copies between members and controls; false when an exchange failed.
    bool UpdateData(bool saveAndValidate);

    static const CMessageMap* GetThisMessageMap();
    virtual const CMessageMap* GetMessageMap() const;

    // The module that holds the dialog template and the pictures; the
    // program's own by default.
    void SetResourceModule(HMODULE module) { module_ = module; }
    HMODULE ResourceModule() const { return module_; }

protected:
    // Runs the initial exchange; true leaves the focus to the system.
    virtual bool OnInitDialog();
    virtual void DoDataExchange(CDataExchange& exchange);

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    CMessageResult Dispatch(UINT message, WPARAM wParam, LPARAM lParam);

    UINT templateId_;
    HWND parent_;
    HMODULE module_;
    HWND hwnd_ = nullptr;
};

// Binds control to the template control id (once; later exchanges keep it).
void DDX_Control(CDataExchange& exchange, int id, CControlWindow& control);
// Copies value into the control's text, or back with saveAndValidate.
void DDX_Text(CDataExchange& exchange, int id, std::string& value);

// Message map entry helpers. Handlers are members of the derived class D.
namespace message_map_detail {
template <class D, void (D::*Handler)()>
CMessageResult InvokeCommand(CDialog& dialog, WPARAM, LPARAM) {
    (static_cast<D&>(dialog).*Handler)();
    return {true, 0};
}
template <class D, void (D::*Handler)(UINT, POINT)>
CMessageResult InvokeMouse(CDialog& dialog, WPARAM wParam, LPARAM lParam) {
    const POINT point{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    (static_cast<D&>(dialog).*Handler)(static_cast<UINT>(wParam), point);
    return {false, 0};  // the system still sees the press
}
template <class D, HBRUSH (D::*Handler)(HDC, HWND, UINT)>
CMessageResult InvokeCtlColor(CDialog& dialog, WPARAM, LPARAM lParam) {
    const auto& args = *reinterpret_cast<const CCtlColorArgs*>(lParam);
    const HBRUSH brush = (static_cast<D&>(dialog).*Handler)(args.Dc, args.Control, args.Kind);
    return {true, reinterpret_cast<LRESULT>(brush)};
}
template <class D, LRESULT (D::*Handler)(WPARAM, LPARAM)>
CMessageResult InvokeMessage(CDialog& dialog, WPARAM wParam, LPARAM lParam) {
    return {true, (static_cast<D&>(dialog).*Handler)(wParam, lParam)};
}
}  // namespace message_map_detail

template <class D, void (D::*Handler)()>
constexpr CMessageMapEntry OnCommand(UINT controlId, UINT code = BN_CLICKED) {
    return {WM_COMMAND, controlId, code, &message_map_detail::InvokeCommand<D, Handler>};
}
template <class D, void (D::*Handler)(UINT, POINT)>
constexpr CMessageMapEntry OnMouse(UINT message) {
    return {message, 0, 0, &message_map_detail::InvokeMouse<D, Handler>};
}
template <class D, HBRUSH (D::*Handler)(HDC, HWND, UINT)>
constexpr CMessageMapEntry OnCtlColorMessage() {
    return {kCtlColorMessage, 0, 0, &message_map_detail::InvokeCtlColor<D, Handler>};
}
template <class D, LRESULT (D::*Handler)(WPARAM, LPARAM)>
constexpr CMessageMapEntry OnMessage(UINT message) {
    return {message, 0, 0, &message_map_detail::InvokeMessage<D, Handler>};
}
