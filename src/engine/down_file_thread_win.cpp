#include "engine/down_file_thread_win.h"

#include "base/directory_ex.h"
#include "engine/download_files_win.h"
#include "transfer/transfer_win.h"

#include <mutex>
#include <utility>

CDownFileThread::CDownFileThread(std::vector<S_UpdateSerivceAddr> servers, bool useProxy, HWND notifyWindow,
                                 UINT notifyMessage)
    : notifyWindow_(notifyWindow), notifyMessage_(notifyMessage), servers_(std::move(servers)), useProxy_(useProxy) {}

CDownFileThread::~CDownFileThread() {
    // The base's own wait would come too late: Run reads the members of this
    // class, which die before the base destructor runs.
    StopAndWait();
}

void CDownFileThread::SetSavePath(const std::string& folder) {
    folders_.Staging = WithSeparator(folder, '\\');
}

void CDownFileThread::SetFolders(const DownloadFolders& folders) {
    folders_ = folders;
    folders_.Staging = WithSeparator(folders.Staging, '\\');
    if (!folders_.Installed.empty()) folders_.Installed = WithSeparator(folders.Installed, '\\');
}

void CDownFileThread::SetFileList(const std::vector<S_UpdateFileInfo>& files) {
    const std::lock_guard<CriticalSection> hold(fileListLock_);
    fileList_ = files;
}

void CDownFileThread::SetPackageType(uint32_t type) {
    packageType_ = type;
}

void CDownFileThread::SetAttemptObserver(AttemptObserver observer) {
    attemptObserver_ = std::move(observer);
}

void CDownFileThread::Run() {
    const std::lock_guard<CriticalSection> hold(fileListLock_);
    CQIRAUpdateIntf transfer(servers_, useProxy_);
    transfer.SetAttemptObserver(attemptObserver_);
    const DownloadObserver observer{notifyWindow_, notifyMessage_, [this] { return StopRequested(); }};
    result_ = DownloadFiles(fileList_, transfer, packageType_, folders_, observer);
    if (result_.Status == FetchStatus::Failed) {
        // Sent, not posted: the receiver has seen the failure before the
        // thread ends, so a new thread object cannot overtake it.
        SendMessageW(notifyWindow_, notifyMessage_, 0, static_cast<LPARAM>(-1));
    }
}
