#pragma once
// The interactive update dialog. Before it appears it asks the update
// servers for a new release of its package and shows one of two faces:
// update available (version number and "立即升级") or up to date. "立即升级"
// downloads the files still missing on a worker thread with progress, then
// closes the client, installs, records the new version, starts the client
// again and ends the dialog. The creator sets Type and Name, then calls
// DoModal(), which returns 1 on every way out.
#include "components/image_button_win.h"
#include "components/image_dialog_win.h"
#include "components/pillar_win.h"
#include "components/png_picture_win.h"
#include "components/server_address.h"
#include "components/static_text_win.h"
#include "components/transfer_win.h"
#include "engine/down_file_thread_win.h"
#include "manifest/update_file_info.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CDlgUpdate : public CImageDialog {
public:
    CDlgUpdate();
    ~CDlgUpdate() override;

    CImageButtonX CloseButton;
    CImageButtonX UpgradeButton;
    CImageButtonX TitleCloseButton;
    CProgressBar ProgressBar;
    CPNGPicture StatusIcon;
    CPNGPicture HeadlinePicture;
    CStaticText TitleText;
    CStaticText VersionText;
    CStaticText MessageText;

    int32_t Type = 1;  // 1: the program itself; otherwise a data package
    std::string Name;  // the data package's folder name
    int32_t CompletedCount = 0;
    std::unique_ptr<CQIRAUpdateIntf> Transfer;
    std::unique_ptr<CDownFileThread> DownloadThread;
    std::vector<std::string> DownloadList;     // files still to fetch, manifest order
    std::vector<S_UpdateFileInfo> ChangedFiles;  // every file that differs from the installed copy
    std::vector<int32_t> ExpectedSizes;        // per DownloadList entry
    std::vector<S_UpdateSerivceAddr> Servers;
    bool UseProxy = false;
    std::string ApplicationFolder;
    std::string ManifestFileName;
    std::string TargetFolder;
    std::string StagingFolder;
    std::string LocalVersion;
    std::string LocalRegion;

    // When set (ending with '\'), used instead of the program's own folder:
    // for tools and tests that run the dialog on another installation.
    std::string ApplicationFolderOverride;

    static const CMessageMap* GetThisMessageMap();
    const CMessageMap* GetMessageMap() const override;

protected:
    void DoDataExchange(CDataExchange& exchange) override;
    bool OnInitDialog() override;

private:
    void CheckForUpdate();
    bool DownloadFiles(const std::vector<std::string>& names);
    void ShowUpdateAvailableFace(const std::string& version);
    void ShowUpToDateFace();

    void OnUpgradeNow();
    LRESULT OnDownFileNotify(WPARAM wParam, LPARAM lParam);
    void FinishUpdate();
    void ShowMessage(const std::string& text);

    void OnClose();
    void OnLButtonDown(UINT flags, POINT point);
    HBRUSH OnCtlColor(HDC dc, HWND control, UINT kind);
};
