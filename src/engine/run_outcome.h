#pragma once
// How a run of the updater ended, and the process exit code that says so.
// The run keeps the failure that ended it, with its reason as it happened
// (base/failure.h); one decision turns that into the outcome.
#include "base/failure.h"

#include <optional>

enum class RunOutcome {
    Updated,             // 0: a release was installed (or an interrupted install finished)
    NothingToDo,         // 0: the installation is current, or the user closed the dialog
    AnotherInstance,     // 1: another updater holds the single-instance mutex
    NoServer,            // 2: no server could be reached, or none answered with the file
    Refused,             // 3: what a server sent, or what the run was asked to do, was refused
    NotStored,           // 4: a fetched file could not be written here (a full disk, no access)
    Incomplete,          // 4: a file could not be installed or the version not recorded
    LocalFilesUnusable,  // 5: Config.dat unusable, or a file where the updater's folder must be
    RolledBack,          // 6: the new release's program failed to start, and the release was rolled back
};

// The step a failure ended: what it means for the installation.
enum class RunStep {
    Check,    // before anything was fetched but the manifest
    Fetch,    // while the changed files were fetched
    Install,  // while they were put in place and recorded
};

struct RunFailure {
    RunStep Step = RunStep::Check;
    Failure Why;
};

// The outcome of a run that ended with `failure` (nothing: it did what it
// had to), that changed the installation or not, and that rolled a release
// back (or finished a rollback cut short) or not. A failure tells more than
// a rollback, which tells more than an install.
RunOutcome DecideOutcome(const std::optional<RunFailure>& failure, bool changedInstallation, bool rolledBack = false);

int ExitCodeOf(RunOutcome outcome);
// A few words for the log's last line.
const char* DescribeOutcome(RunOutcome outcome);
