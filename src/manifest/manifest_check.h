#pragma once
// What a fetched manifest must be before it counts as a server's answer:
// not empty, text of the manifest's code page, in its layout, and, when the
// publisher marked it, whole. An answer that is none of these (an error page
// served with 200, a UTF-16 or gzip-encoded file, an upload cut short) must
// not pass for a release with nothing to do, nor for a smaller release.
//
// The publisher's mark, in two parts that readers which do not know them
// ignore: the first line is the comment "; FILECOUNT=N", N the number of
// files the manifest lists, and every file section ends with the key
// FILECOUNT=N. The first line survives any cut but one within its own few
// bytes (which leaves no manifest at all); a cut anywhere after it takes
// away a listed file, a section, or the key that ends one. A marked manifest
// must list exactly N files, each with a section that carries FILECOUNT=N, a
// decimal SIZE and a 32-digit MD5. A manifest without the mark, as a person
// may write by hand, is taken as it is.
#include "base/failure.h"
#include "config/config_file.h"
#include "manifest/manifest.h"

#include <cstdint>
#include <optional>
#include <string_view>

inline constexpr char kFileCountKey[] = "FILECOUNT";
// The first line of a marked manifest, before its count.
inline constexpr char kFileCountMark[] = "; FILECOUNT=";

// The answer's bytes and the document parsed from them: succeeded, or the
// reason it is no manifest (Unreadable).
Status CheckManifest(std::string_view bytes, const CConfigFile& manifest, ManifestLayout layout);

// The count that the first line of a marked manifest states; nothing for an
// unmarked one (or a mark whose count is not a number).
std::optional<uint64_t> MarkedFileCount(std::string_view bytes);
