#pragma once
// What a fetched manifest must be before it counts as a server's answer:
// not empty, text of the manifest's code page, in its layout, and, when the
// publisher marked it, whole. An answer that is none of these (an error page
// served with 200, a UTF-16 or gzip-encoded file, an upload cut short) must
// not pass for a release with nothing to do, nor for a smaller release.
//
// The publisher's mark: every file section ends with FILECOUNT=N, the number
// of files the manifest lists, and the program layout states it in
// [Version] as well. Readers that do not know the key ignore it. A marked
// manifest must list exactly N files, each with a section that carries
// FILECOUNT=N, a decimal SIZE and a 32-digit MD5; a cut anywhere in it takes
// away a listed file, a section or the key that ends it. A manifest without
// the mark, as a person may write by hand, is taken as it is.
#include "base/failure.h"
#include "config/config_file.h"
#include "manifest/manifest.h"

#include <string_view>

inline constexpr char kFileCountKey[] = "FILECOUNT";

// The answer's bytes and the document parsed from them: succeeded, or the
// reason it is no manifest (Unreadable).
Status CheckManifest(std::string_view bytes, const CConfigFile& manifest, ManifestLayout layout);

// Whether the publisher's mark is on the manifest.
bool IsMarkedManifest(const CConfigFile& manifest, ManifestLayout layout);
