#pragma once
#include <functional>

// Whether a silent program update shows the new-version notification: always
// for another region; for the same region only when the version is greater
// and the manifest asks for it. readNotifyFlag is called only when it matters.
bool ShouldNotify(bool regionEqual, bool versionGreater, const std::function<int()>& readNotifyFlag);
