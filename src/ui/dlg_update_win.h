#pragma once
// The interactive update dialog. Before it appears it asks the update
// servers for a new release of its package and shows one of its faces:
// update available (version number and "立即升级"), up to date, or, with
// the up-to-date face's layout, a failed check whose heading and message say
// so. "立即升级" downloads the files still missing on a worker thread with
// progress, then closes the client, installs, records the new version,
// starts the client again and ends the dialog. A download or an install
// that fails says why under a heading of its own and waits to be closed
// (an install that went wrong part way has started the client again). The
// message after any failure follows from the run's failure alone. The
// creator sets Type and Name, then calls DoModal(), which returns 1 on every
// way out.
#include "engine/down_file_thread_win.h"
#include "engine/instance_lock_win.h"
#include "engine/update_run_win.h"
#include "framework/skin/image_button_win.h"
#include "framework/skin/image_dialog_win.h"
#include "framework/skin/pillar_win.h"
#include "framework/skin/png_picture_win.h"
#include "framework/skin/static_text_win.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// A heading picture and its words, both resource ids.
struct Headline {
    UINT Picture;
    UINT Words;
};

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

    // The download as the notifications see it: the k-th completion belongs
    // to DownloadList[k], a file that the transfer has checked against its
    // listing.
    int32_t CompletedCount = 0;
    std::vector<std::string> DownloadList;

    // The update run behind the faces; set by the check.
    std::unique_ptr<CUpdateRun> Run;
    // Declared after the run: the thread reports to the run's log, so it
    // must end first.
    std::unique_ptr<CDownFileThread> DownloadThread;

    // When set (ending with '\'), used instead of the program's own folder:
    // for tools and tests that run the dialog on another installation.
    std::string ApplicationFolderOverride;

    // Once the dialog has closed: watches the client that an install
    // started (CUpdateRun::WatchClientStart), with the lock released meanwhile.
    void WatchClientStart(CInstanceLock& lock);
    // Ends the run's log with its outcome, once the dialog has closed.
    RunOutcome Conclude();

    static const CMessageMap* GetThisMessageMap();
    const CMessageMap* GetMessageMap() const override;

protected:
    void DoDataExchange(CDataExchange& exchange) override;
    bool OnInitDialog() override;

private:
    void CheckForUpdate();
    void ShowUpdateAvailableFace(const std::string& version);
    // The up-to-date face's layout with a heading and message of its own:
    // the face of a check that found nothing to do or failed, and of a
    // download or install that failed.
    void ShowOutcomeFace(const Headline& headline, UINT messageId);
    void ShowHeadline(const Headline& headline);
    void HideOffer();

    void OnUpgradeNow();
    LRESULT OnDownFileNotify(WPARAM wParam, LPARAM lParam);
    void FinishUpdate();
    void ShowMessage(UINT textId);

    void OnClose();
    void OnLButtonDown(UINT flags, POINT point);
    HBRUSH OnCtlColor(HDC dc, HWND control, UINT kind);

    bool offerShown_ = false;  // the upgrade button waits for an answer
};
