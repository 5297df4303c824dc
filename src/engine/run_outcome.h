#pragma once
// How a run of the updater ended, and the process exit code that says so.
enum class RunOutcome {
    Updated,             // 0: a release was installed (or an interrupted install finished)
    NothingToDo,         // 0: the installation is current, or the user closed the dialog
    AnotherInstance,     // 1: another updater holds the single-instance mutex
    NoServer,            // 2: no server gave the manifest or a file
    Refused,             // 3: the release, or the request, was refused
    Incomplete,          // 4: a file could not be installed or the version not recorded
    LocalFilesUnusable,  // 5: Config.dat unreadable or corrupt, or a file where a folder must be
};

int ExitCodeOf(RunOutcome outcome);
// A few words for the log's last line.
const char* DescribeOutcome(RunOutcome outcome);
