#include "dialog_probe_win.h"
#include "ui/dlg_notify_win.h"
#include "ui/res/resource.h"

#include <gtest/gtest.h>

namespace {
constexpr COLORREF kNotifyText = RGB(13, 61, 102);

TEST(DlgNotifyTest, ButtonsGiveTheirResults) {
    struct Case {
        int button;
        INT_PTR result;
    };
    for (const Case c : {Case{IDC_NOTIFY_UPGRADE, IDYES}, Case{IDC_LATER, IDNO}, Case{IDC_CLOSE_BUTTON, IDNO}}) {
        CDlgNotify dialog;
        EXPECT_EQ(RunWithProbe(dialog, [&](HWND hwnd) { Click(hwnd, c.button); }), c.result) << c.button;
    }
}

TEST(DlgNotifyTest, ShowsTheCallersVersionsVerbatim) {
    struct Case {
        std::string current;
        std::string offered;
    };
    for (const Case& c : {Case{"4.0.1007", "4.0.1008 \xb2\xe2\xca\xd4"},  // 测试
                          Case{"", ""}}) {
        CDlgNotify dialog;
        dialog.CurrentVersion = c.current;
        dialog.NewVersion = c.offered;
        std::string current;
        std::string offered;
        RunWithProbe(dialog, [&](HWND hwnd) {
            current = ControlText(hwnd, IDC_CURRENT_VERSION);
            offered = ControlText(hwnd, IDC_NEW_VERSION);
            Click(hwnd, IDC_LATER);
        });
        EXPECT_EQ(current, c.current);
        EXPECT_EQ(offered, c.offered);
    }
}

TEST(DlgNotifyTest, SkinsItsWindowAndControls) {
    CDlgNotify dialog;
    RECT client{};
    RECT upgrade{};
    RECT close{};
    RunWithProbe(dialog, [&](HWND hwnd) {
        GetClientRect(hwnd, &client);
        GetWindowRect(GetDlgItem(hwnd, IDC_NOTIFY_UPGRADE), &upgrade);
        GetWindowRect(GetDlgItem(hwnd, IDC_CLOSE_BUTTON), &close);
        EXPECT_EQ(dialog.UpgradeButton.GetSafeHwnd(), GetDlgItem(hwnd, IDC_NOTIFY_UPGRADE));
        EXPECT_EQ(dialog.NewVersionText.GetSafeHwnd(), GetDlgItem(hwnd, IDC_NEW_VERSION));
        EXPECT_EQ(dialog.NewVersionText.TextColor(), kNotifyText);
        EXPECT_TRUE(dialog.NewVersionText.IsBold());
        EXPECT_TRUE(dialog.LinkText.IsUnderlined());
        EXPECT_EQ(dialog.GetWindowText(), ResourceText(IDS_NOTIFY_TITLE));
        Click(hwnd, IDC_LATER);
    });
    // The window takes its background's size; buttons take their faces'.
    EXPECT_EQ(client.right, 350);
    EXPECT_EQ(client.bottom, 230);
    EXPECT_EQ(upgrade.right - upgrade.left, 73);
    EXPECT_EQ(upgrade.bottom - upgrade.top, 28);
    EXPECT_EQ(close.right - close.left, 39);
    EXPECT_EQ(close.bottom - close.top, 22);
}

TEST(DlgNotifyTest, SitsInTheBottomRightCorner) {
    CDlgNotify dialog;
    RECT window{};
    RunWithProbe(dialog, [&](HWND hwnd) {
        GetWindowRect(hwnd, &window);
        Click(hwnd, IDC_LATER);
    });
    RECT desktop{};
    GetWindowRect(GetDesktopWindow(), &desktop);
    RECT workArea{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &workArea, 0);
    RECT taskbar{};
    const HWND tray = FindWindowW(L"Shell_TrayWnd", nullptr);
    if (tray != nullptr && GetWindowRect(tray, &taskbar) && taskbar.top > desktop.top &&
        taskbar.bottom >= desktop.bottom && taskbar.right - taskbar.left > taskbar.bottom - taskbar.top) {
        EXPECT_EQ(window.right, desktop.right - 5);
        EXPECT_EQ(window.bottom, taskbar.top - 5);
    } else {
        EXPECT_EQ(window.right, workArea.right - 5);
        EXPECT_EQ(window.bottom, workArea.bottom - 5);
    }
    EXPECT_EQ(window.right - window.left, 350);
    EXPECT_EQ(window.bottom - window.top, 230);
}

TEST(DlgNotifyTest, StaticsAreTransparentInTheNotificationColour) {
    CDlgNotify dialog;
    RunWithProbe(dialog, [&](HWND hwnd) {
        const HDC dc = GetDC(hwnd);
        SetTextColor(dc, RGB(1, 2, 3));
        SetBkMode(dc, OPAQUE);
        const auto brush = reinterpret_cast<HBRUSH>(
            SendMessageW(hwnd, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                         reinterpret_cast<LPARAM>(GetDlgItem(hwnd, IDC_NEW_VERSION))));
        EXPECT_EQ(brush, GetStockObject(NULL_BRUSH));
        EXPECT_EQ(GetTextColor(dc), kNotifyText);
        EXPECT_EQ(GetBkMode(dc), TRANSPARENT);

        SetTextColor(dc, RGB(1, 2, 3));
        const auto buttonBrush = reinterpret_cast<HBRUSH>(
            SendMessageW(hwnd, WM_CTLCOLORBTN, reinterpret_cast<WPARAM>(dc),
                         reinterpret_cast<LPARAM>(GetDlgItem(hwnd, IDC_LATER))));
        EXPECT_NE(buttonBrush, GetStockObject(NULL_BRUSH));
        EXPECT_NE(buttonBrush, nullptr);
        EXPECT_EQ(GetTextColor(dc), RGB(1, 2, 3));
        ReleaseDC(hwnd, dc);
        Click(hwnd, IDC_LATER);
    });
}

TEST(DlgNotifyTest, TopThirtyPixelsMoveTheWindow) {
    CDlgNotify dialog;
    RunWithProbe(dialog, [&](HWND hwnd) {
        EXPECT_TRUE(PressStartsWindowMove(hwnd, {100, 0}));
        EXPECT_TRUE(PressStartsWindowMove(hwnd, {100, 29}));
        EXPECT_FALSE(PressStartsWindowMove(hwnd, {100, 30}));
        EXPECT_FALSE(PressStartsWindowMove(hwnd, {100, 200}));
        Click(hwnd, IDC_LATER);
    });
}
}  // namespace
