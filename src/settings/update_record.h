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

// A section name for a record of its own: the local time in sectionFormat,
// or, when the record holds that section already (an install recorded
// within the same second), the same with " (2)", " (3)", ... after it, so
// that the earlier section stays.
std::string FreeRecordSection(const std::string& applicationFolder, const std::string& sectionFormat);

// The rollback of the release rolledBackVersion to restoredVersion, in the
// section: IsSucceed=0, NewVersion (the release that was rolled back),
// OldVersion (the release in place again) and RolledBack=1, in one replace.
// Written again into the same section, it changes nothing.
Status WriteRollbackRecord(const std::string& applicationFolder, const std::string& section,
                           const std::string& rolledBackVersion, const std::string& restoredVersion);
