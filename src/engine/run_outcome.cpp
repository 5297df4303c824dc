#include "engine/run_outcome.h"

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
    case RunOutcome::Incomplete:
        return 4;
    case RunOutcome::LocalFilesUnusable:
        return 5;
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
    case RunOutcome::Incomplete:
        return "the install is incomplete";
    case RunOutcome::LocalFilesUnusable:
        return "local files unusable";
    }
    return "unknown";
}
