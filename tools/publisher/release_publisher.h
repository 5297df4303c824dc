#pragma once
// Writes the server tree of one release: the files below OUT/TYPE/ and the
// manifest(s) beside them, the manifest last so that a client never reads
// one that lists files not yet in place.
#include <iosfwd>
#include <string>
#include <vector>

struct ManifestFile;
struct PublishOptions;

// Messages (refused names, failures, progress) go to log. True when the
// tree was written; when a name is refused nothing at all is written.
bool PublishRelease(const PublishOptions& options, std::ostream& log);

// Every manifest goes to a temporary file first; only when all are complete
// do they take their real names, so a client never reads a torn one.
bool WriteManifests(const std::string& gbkFolder, const std::vector<ManifestFile>& manifests, std::ostream& log);
