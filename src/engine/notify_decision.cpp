#include "engine/notify_decision.h"

bool ShouldNotify(bool regionEqual, bool versionGreater, const std::function<int()>& readNotifyFlag) {
    if (!regionEqual) return true;
    return versionGreater && readNotifyFlag() != 0;
}
