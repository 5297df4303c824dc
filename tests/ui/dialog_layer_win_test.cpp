// The dialog layer, on the notification's template (the only area whose
// tests carry the program's resources).
#include "base/gbk_text.h"
#include "dialog_probe_win.h"
#include "framework/dialog_win.h"
#include "ui/res/resource.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {
class CTestControl : public CControlWindow {
public:
    int Clicks = 0;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == BM_CLICK) ++Clicks;
        return CControlWindow::WindowProc(message, wParam, lParam);
    }
};

class CTestDialog : public CDialog {
public:
    CTestDialog() : CDialog(IDD_NOTIFY) {}
    std::string Version;
    CTestControl Later;
    int BaseHandled = 0;

    static const CMessageMap* GetThisMessageMap() {
        static constexpr CMessageMapEntry entries[] = {
            OnCommand<CTestDialog, &CTestDialog::OnLater>(IDC_LATER),
            OnCommand<CTestDialog, &CTestDialog::OnThrow>(IDC_NOTIFY_UPGRADE),
            OnCommand<CTestDialog, &CTestDialog::OnLater>(IDC_LATER, BN_DOUBLECLICKED),  // never the click
        };
        static constexpr CMessageMap map{&CDialog::GetThisMessageMap, entries};
        return &map;
    }
    const CMessageMap* GetMessageMap() const override { return GetThisMessageMap(); }

protected:
    void DoDataExchange(CDataExchange& exchange) override {
        DDX_Text(exchange, IDC_NEW_VERSION, Version);
        DDX_Control(exchange, IDC_LATER, Later);
    }

private:
    void OnLater() { EndDialog(40 + Later.Clicks); }
    void OnThrow() { throw std::runtime_error("handler failure"); }
};

TEST(DialogLayerTest, ExchangesTextsBothWays) {
    CTestDialog dialog;
    dialog.Version = "1.2.3";
    std::string shown;
    RunWithProbe(dialog, [&](HWND hwnd) {
        shown = ControlText(hwnd, IDC_NEW_VERSION);
        SetDlgItemTextW(hwnd, IDC_NEW_VERSION, Widen("\xd0\xc2").c_str());  // 新
        EXPECT_TRUE(dialog.UpdateData(true));
        Click(hwnd, IDC_LATER);
    });
    EXPECT_EQ(shown, "1.2.3");
    EXPECT_EQ(dialog.Version, "\xd0\xc2");
}

TEST(DialogLayerTest, MapsCommandsAndSubclassesControls) {
    CTestDialog dialog;
    // The bound control saw the click before the dialog's handler ran.
    EXPECT_EQ(RunWithProbe(dialog, [](HWND hwnd) { Click(hwnd, IDC_LATER); }), 41);
    EXPECT_EQ(dialog.GetSafeHwnd(), nullptr);
    EXPECT_EQ(dialog.Later.GetSafeHwnd(), nullptr);  // released with its window
}

TEST(DialogLayerTest, UnmappedCommandsChangeNothing) {
    CTestDialog dialog;
    EXPECT_EQ(RunWithProbe(dialog, [](HWND hwnd) { Click(hwnd, IDC_CLOSE_BUTTON); }), kProbeLeftOpen);
}

TEST(DialogLayerTest, AThrowingHandlerEndsTheDialogWithMinusOne) {
    CTestDialog dialog;
    EXPECT_EQ(RunWithProbe(dialog, [](HWND hwnd) { Click(hwnd, IDC_NOTIFY_UPGRADE); }), -1);
}

TEST(DialogLayerTest, AMissingTemplateFails) {
    class CMissing : public CDialog {
    public:
        CMissing() : CDialog(1) {}
    } dialog;
    EXPECT_EQ(dialog.DoModal(), -1);
}

TEST(DialogLayerTest, AnUnplacedDialogIsCentred) {
    CTestDialog dialog;
    RECT window{};
    RunWithProbe(dialog, [&](HWND hwnd) {
        GetWindowRect(hwnd, &window);
        Click(hwnd, IDC_LATER);
    });
    RECT area{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    EXPECT_LE(std::abs((window.left + window.right) / 2 - (area.left + area.right) / 2), 1);
    EXPECT_LE(std::abs((window.top + window.bottom) / 2 - (area.top + area.bottom) / 2), 1);
}
}  // namespace
