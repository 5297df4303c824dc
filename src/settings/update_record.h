#pragma once
// The traces that an installed update leaves outside the installed files.
#include "base/failure.h"

#include <string>

// The current local time through strftime into 128 characters; "" when the
// result does not fit.
std::string FormatLocalTime(const std::string& format);

// "UpdateRecord.dat": a section named by the local time in sectionFormat with
// IsSucceed, NewVersion and OldVersion, in that order, in one replace of the
// file. A later update in the same section overwrites the three values.
Status WriteUpdateRecord(const std::string& applicationFolder, const std::string& sectionFormat,
                       const std::string& newVersion, const std::string& oldVersion, bool succeeded = true);
