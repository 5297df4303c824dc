#include "publisher/pack_publishing.h"

#include "base/number_text.h"
#include "crypto/sha256_stream.h"
#include "manifest/listed_packs.h"
#include "manifest/release_vocabulary.h"
#include "publisher/publisher_cli.h"

#include <fstream>
#include <ostream>
#include <system_error>

namespace fs = std::filesystem;

namespace {
constexpr size_t kCopyBlock = 256 * 1024;

// The compressed form a published file travels in, as updaters choose it:
// its smallest; nullptr when it travels as itself.
const PublishedFile::Compression* TravellingForm(const PublishedFile& published) {
    const PublishedFile::Compression* smallest = nullptr;
    for (const PublishedFile::Compression& form : published.Compressed) {
        if (!smallest || form.Size < smallest->Size) smallest = &form;
    }
    return smallest;
}

// Appends the whole file to the pack and the digest; false unless exactly `length` bytes were copied.
bool Append(const fs::path& source, uint64_t length, std::ofstream& pack, Sha256Stream& digest) {
    std::ifstream in(source, std::ios::binary);
    std::vector<char> block(kCopyBlock);
    uint64_t copied = 0;
    while (in) {
        in.read(block.data(), static_cast<std::streamsize>(block.size()));
        const auto read = static_cast<size_t>(in.gcount());
        if (read == 0) break;
        digest.Update(reinterpret_cast<const uint8_t*>(block.data()), read);
        pack.write(block.data(), static_cast<std::streamsize>(read));
        copied += read;
    }
    return in.eof() && pack && copied == length;
}

// Every pack in the folder but `keep` goes, and the folder too once empty.
void RemoveOtherPacks(const fs::path& folder, const fs::path& keep) {
    std::error_code ec;
    std::vector<fs::path> stale;
    for (fs::directory_iterator it(folder, ec); !ec && it != fs::directory_iterator(); it.increment(ec)) {
        const std::string name = std::string(kPackFolder) + "/" + Utf8Of(it->path().filename());
        if (IsPackFileName(name) && it->path().filename() != keep.filename()) stale.push_back(it->path());
    }
    for (const fs::path& path : stale) fs::remove(path, ec);
    if (fs::is_empty(folder, ec) && !ec) fs::remove(folder, ec);
}
}  // namespace

bool PublishPack(const fs::path& targetFolder, const std::vector<ReleaseFile>& files, uint64_t maxBytes,
                 std::vector<PublishedFile>& published, std::ostream& log) {
    const fs::path folder = targetFolder / kPackFolder;
    std::vector<size_t> members;
    uint64_t packBytes = 0;
    for (size_t i = 0; i < published.size(); ++i) {
        published[i].Packed.reset();
        const uint64_t travelling = published[i].TravellingSize();
        if (travelling == 0 || travelling > maxBytes) continue;
        members.push_back(i);
        packBytes += travelling;
    }
    if (members.empty()) {
        RemoveOtherPacks(folder, {});
        return true;
    }
    std::error_code ec;
    fs::create_directories(folder, ec);
    fs::path temporary = folder / kPackFolder;
    temporary += kTemporarySuffix;
    Sha256Stream digest;
    {
        std::ofstream pack(temporary, std::ios::binary | std::ios::trunc);
        uint64_t offset = 0;
        for (const size_t i : members) {
            const PublishedFile::Compression* form = TravellingForm(published[i]);
            const uint64_t length = form ? form->Size : published[i].Size;
            fs::path source = (targetFolder / files[i].Relative).make_preferred();
            if (form) source += std::string(form->Form->Suffix);
            if (!Append(source, length, pack, digest)) {
                pack.close();
                fs::remove(temporary, ec);
                log << "publisher: cannot write " << Utf8Of(source) << " into the pack\n";
                return false;
            }
            published[i].Packed = ListedPackMember{{}, offset, length, form ? form->Form : nullptr};
            offset += length;
        }
        pack.close();
        if (!pack) ec = std::make_error_code(std::errc::io_error);
    }
    Sha256Digest sha256{};
    if (ec || !digest.Finish(sha256)) {
        fs::remove(temporary, ec);
        log << "publisher: cannot write the pack " << Utf8Of(temporary) << '\n';
        return false;
    }
    const std::string name = PackFileName(LowerHex(sha256.data(), sha256.size()).substr(0, kPackNameHexDigits));
    const fs::path final = targetFolder / PathFromUtf8(name);
    fs::rename(temporary, final, ec);
    if (ec) {
        fs::remove(temporary, ec);
        log << "publisher: cannot write " << Utf8Of(final) << '\n';
        return false;
    }
    for (const size_t i : members) published[i].Packed->Pack = name;
    RemoveOtherPacks(folder, final);
    log << "publisher: " << members.size() << " of " << published.size() << " files also travel in " << name << " ("
        << packBytes << " bytes)\n";
    return true;
}
