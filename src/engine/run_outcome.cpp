#include "engine/run_outcome.h"

RunOutcome DecideOutcome(const std::optional<RunFailure>& failure, bool changedInstallation, bool rolledBack) {
    if (!failure && rolledBack) return RunOutcome::RolledBack;
    if (!failure) return changedInstallation ? RunOutcome::Updated : RunOutcome::NothingToDo;
    switch (ClassOf(failure->Why.Kind)) {
    case FailureClass::Network:
        return RunOutcome::NoServer;
    case FailureClass::RefusedData:
        return RunOutcome::Refused;
    case FailureClass::Local:
        break;
    }
    // No update can be checked against an unusable configuration, and
    // nothing can be staged where a file blocks the way: the machine needs
    // a person, not another run.
    if (failure->Why.Kind == FailureKind::ConfigUnusable || failure->Why.Kind == FailureKind::FolderBlocked) {
        return RunOutcome::LocalFilesUnusable;
    }
    return failure->Step == RunStep::Install ? RunOutcome::Incomplete : RunOutcome::NotStored;
}

int ExitCodeOf(RunOutcome outcome) {
    switch (outcome) {
    case RunOutcome::Updated:
    case RunOutcome::NothingToDo:
        return 0;
    case RunOutcome::AnotherInstance:
        return 1;
    case RunOutcome::NoServer:
        return 2;
    case RunOutcome::Refused:
        return 3;
    case RunOutcome::NotStored:
    case RunOutcome::Incomplete:
        return 4;
    case RunOutcome::LocalFilesUnusable:
        return 5;
    case RunOutcome::RolledBack:
        return 6;
    }
    return 4;
}

const char* DescribeOutcome(RunOutcome outcome) {
    switch (outcome) {
    case RunOutcome::Updated:
        return "updated";
    case RunOutcome::NothingToDo:
        return "nothing to do";
    case RunOutcome::AnotherInstance:
        return "another updater runs";
    case RunOutcome::NoServer:
        return "no server answered";
    case RunOutcome::Refused:
        return "the release was refused";
    case RunOutcome::NotStored:
        return "a fetched file could not be stored";
    case RunOutcome::Incomplete:
        return "the install is incomplete";
    case RunOutcome::LocalFilesUnusable:
        return "local files unusable";
    case RunOutcome::RolledBack:
        return "the new release failed to start and was rolled back";
    }
    return "unknown";
}
