#include "manifest/installed_digests.h"

#include "base/directory_ex.h"
#include "manifest/parallel_digests.h"

#include <unordered_map>

namespace {
// One folder's listing, its files by RememberedName.
struct Listing {
    FolderMetadata Metadata;
    // Two entries under one key (names that differ only in case, on a
    // case-sensitive volume) leave the name to be read: which of them an
    // open finds is not the listing's to say.
    std::unordered_map<std::string, const FileMetadata*> ByName;
};

class FolderListings {
public:
    explicit FolderListings(const std::string& folder) : folder_(folder) {}

    // The listed metadata of the file with this relative name and key, or
    // null when its folder cannot be listed, lies on a volume without
    // change times, or does not show the file (once).
    const FileMetadata* Find(const std::string& name, const std::string& key) {
        const size_t folderLength = FolderPartLength(key);
        auto [at, added] = listings_.try_emplace(key.substr(0, folderLength));
        Listing& listing = at->second;
        if (added) Read(name.substr(0, folderLength), at->first, listing);
        const auto found = listing.ByName.find(key.substr(folderLength));
        return found == listing.ByName.end() ? nullptr : found->second;
    }

private:
    void Read(const std::string& spelling, const std::string& key, Listing& listing) {
        if (!KeepsChangeTimesBelow(spelling, key)) return;
        listing.Metadata = ReadFolderMetadata(folder_ + spelling);
        if (listing.Metadata.Status != FolderReadStatus::Ok) return;
        for (const FileMetadata& file : listing.Metadata.Files) {
            auto [at, added] = listing.ByName.try_emplace(RememberedName(file.Name), &file);
            if (!added) at->second = nullptr;
        }
    }

    // Whether the relative folder (spelled as the manifest does, and its
    // key) lies on a volume that keeps change times: the compared folder's
    // answer, unless a folder on the way is a link, which may lead to
    // another volume. One volume query per compare, as a rule.
    bool KeepsChangeTimesBelow(const std::string& spelling, const std::string& key) {
        if (const auto known = keeps_.find(key); known != keeps_.end()) return known->second;
        bool keeps = false;
        if (key.empty()) {
            keeps = KeepsChangeTimes(folder_);
        } else if (IsLinkedFolder(folder_ + spelling)) {
            keeps = KeepsChangeTimes(folder_ + spelling);
        } else {
            const size_t parent = FolderPartLength(WithoutTrailingSeparators(key));
            keeps = KeepsChangeTimesBelow(spelling.substr(0, parent), key.substr(0, parent));
        }
        keeps_.emplace(key, keeps);
        return keeps;
    }

    const std::string& folder_;
    std::unordered_map<std::string, Listing> listings_;
    std::unordered_map<std::string, bool> keeps_;
};

// A file that must be read, and what its listing showed.
struct PendingRead {
    size_t Index;
    std::string Key;
    const FileMetadata* Listed;
};
}  // namespace

std::vector<std::optional<std::string>> InstalledMd5s(const std::string& folder, const std::vector<InstalledFile>& files,
                                                      RememberedDigests* memory) {
    if (memory && memory->Folder() != folder) memory = nullptr;
    std::vector<std::optional<std::string>> md5s(files.size());
    std::vector<DigestRequest> requests;
    std::vector<PendingRead> pending;
    requests.reserve(files.size());
    pending.reserve(files.size());
    FolderListings listings(folder);
    // Taken before any listing: each file is listed after it, and read after that.
    const int64_t listedAt = memory ? memory->Now() : 0;
    if (memory) memory->Counts() = {};
    for (size_t i = 0; i < files.size(); ++i) {
        const InstalledFile& file = files[i];
        std::string key;
        const FileMetadata* listed = nullptr;
        if (memory) {
            key = RememberedName(file.Name);
            listed = listings.Find(file.Name, key);
            if (listed) {
                if (auto digests = memory->Recall(key, *listed, listedAt)) {
                    md5s[i] = std::move(digests->Md5);
                    ++memory->Counts().Remembered;
                    continue;
                }
            }
        }
        requests.push_back({folder + file.Name, false, listed ? listed->Size : file.SizeHint});
        pending.push_back({i, std::move(key), listed});
    }

    const std::vector<std::optional<FileDigests>> digests = HashExistingFiles(requests);
    for (size_t r = 0; r < pending.size(); ++r) {
        const PendingRead& read = pending[r];
        if (digests[r]) md5s[read.Index] = digests[r]->Md5;
        if (!memory) continue;
        // A file with several names is left to be read each time: its
        // listing under one name may not show a write through another.
        if (digests[r] && read.Listed && FileLinkCount(requests[r].Path) == 1) {
            memory->Learn(read.Key, *read.Listed, listedAt, *digests[r]);
        } else {
            memory->Forget(read.Key);
        }
    }
    if (memory) memory->Counts().Read = pending.size();
    return md5s;
}
