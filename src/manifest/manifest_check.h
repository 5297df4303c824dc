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
// may write by hand, is taken as it is; a program manifest needs its
// [Version] section (VERSION may be absent, and reads as the empty version).
#include "base/failure.h"
#include "config/config_syntax.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The answer's bytes, the document parsed from them and the names it lists
// as files: succeeded, or the reason it is no manifest (Unreadable).
Status CheckManifest(std::string_view bytes, const ConfigDocument& manifest, bool programLayout,
                     const std::vector<std::string>& listedNames);

// The count that the first line of a marked manifest states; nothing for an
// unmarked one (or a mark whose count is not a number).
std::optional<uint64_t> MarkedFileCount(std::string_view bytes);

// The value of a comment line "<mark><value>" among the first lines of a
// manifest (before its first section): how a data package's "config.ini"
// carries what readers of its layout must pass over.
std::optional<std::string_view> MarkedValue(std::string_view bytes, std::string_view mark);
