#pragma once
// The interactive run's downloader: fetches a list of files on a worker
// thread, several at once, and reports them to a window in list order.
#include "base/critical_section_win.h"
#include "engine/download_files_win.h"
#include "manifest/update_file_info.h"
#include "transfer/server_address.h"
#include "transfer/transfer_attempt.h"
#include "transfer/transfer_win.h"
#include "base/thread_base_win.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// The message of every download notification to the update dialog:
//   (received, total), received != total  progress of the current file (transfer component)
//   (size, size)                           the current file is complete (transfer component)
//   (0, -1)                                the current file could not be fetched; the thread ends
constexpr UINT WM_DOWNFILE_NOTIFY = WM_USER + 602;
static_assert(WM_DOWNFILE_NOTIFY == 1626, "shared with the transfer component's receivers");

class CDownFileThread : public CThreadBase {
public:
    CDownFileThread(std::vector<S_UpdateSerivceAddr> servers, bool useProxy, HWND notifyWindow, UINT notifyMessage);
    // Ends a run that is still going (stop request, then waits for it) before
    // any member goes away.
    ~CDownFileThread() override;

    // The folder that receives the files; a '\' is appended when it does not end with a separator.
    void SetSavePath(const std::string& folder);
    // The run's folders (update_run_win.h's FetchFolders): the staging
    // folder, the installed copies that patches apply to (without one, no
    // file travels as a patch) and the record of files checked on arrival.
    void SetFolders(const DownloadFolders& folders);
    // Waits while a run holds the list.
    void SetFileList(const std::vector<S_UpdateFileInfo>& files);
    // 1 for the program itself, otherwise the data-package type.
    void SetPackageType(uint32_t type);
    // Receives every attempt of the run's transfer (see CQIRAUpdateIntf); set before Start.
    void SetAttemptObserver(AttemptObserver observer);
    // Why the run failed: for the receiver of the failure notice (0, -1),
    // while it handles that notice.
    const FetchResult& Result() const { return result_; }

protected:
    // Fetches save path + name for each name, several at once, with
    // completions in list order. A stop request ends every transfer at
    // once. A failed file sends (0, -1) after the completions of the files
    // before it and ends the run; nothing is sent otherwise.
    void Run() override;

private:
    const HWND notifyWindow_;
    const UINT notifyMessage_;
    const std::vector<S_UpdateSerivceAddr> servers_;
    const bool useProxy_;
    DownloadFolders folders_;
    uint32_t packageType_ = 1;
    AttemptObserver attemptObserver_;
    CriticalSection fileListLock_;
    std::vector<S_UpdateFileInfo> fileList_;  // guarded by fileListLock_
    FetchResult result_;  // written by the run before its failure notice is sent
};
