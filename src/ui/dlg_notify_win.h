#pragma once
// The small window with which a silent program update offers the new
// version: "立即升级" ends it with IDYES (6), "下次升级 " and the "x" with IDNO (7).
// The caller sets the texts, calls DoModal() and acts on the result.
#include "framework/skin/image_button_win.h"
#include "framework/skin/image_dialog_win.h"
#include "framework/skin/static_text_win.h"

#include <string>

class CDlgNotify : public CImageDialog {
public:
    CDlgNotify();
    ~CDlgNotify() override;

    std::string CurrentVersion;
    std::string NewVersion;
    std::string WebSiteURL;  // opened by a link with id IDC_WEBSITE_LINK, if a template has one

    CImageButtonX UpgradeButton;
    CImageButtonX LaterButton;
    CImageButtonX CloseButton;
    CStaticText CurrentVersionText;
    CStaticText NewVersionText;
    CStaticText LinkText;  // styled as a link; bound to no control of the template

    static const CMessageMap* GetThisMessageMap();
    const CMessageMap* GetMessageMap() const override;

protected:
    void DoDataExchange(CDataExchange& exchange) override;
    bool OnInitDialog() override;

private:
    void OnUpgradeNow();
    void OnLater();
    void OnOpenWebSite();
    void OnLButtonDown(UINT flags, POINT point);
    HBRUSH OnCtlColor(HDC dc, HWND control, UINT kind);
    void PlaceAboveTaskbar();
};
