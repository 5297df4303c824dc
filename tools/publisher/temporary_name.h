#pragma once
// Appended to a published file's name while it is being written; release
// files may not end in it.
inline constexpr const char* kTemporarySuffix = ".publishing";
