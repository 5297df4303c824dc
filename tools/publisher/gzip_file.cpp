#include "publisher/gzip_file.h"

#include "manifest/release_vocabulary.h"

#include <zlib.h>

#include <array>
#include <fstream>
#include <memory>

namespace {
constexpr int kBestCompression = 9;
constexpr int kMemoryLevel = 8;
constexpr size_t kBlockSize = 256 * 1024;

struct Deflater {
    z_stream z{};
    bool ready = false;
    explicit Deflater(int windowBits) {
        ready = deflateInit2(&z, kBestCompression, Z_DEFLATED, windowBits, kMemoryLevel, Z_DEFAULT_STRATEGY) == Z_OK;
    }
    ~Deflater() {
        if (ready) deflateEnd(&z);
    }
    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;
};
}  // namespace

bool CompressFile(const CompressionForm& form, const std::filesystem::path& source,
                  const std::filesystem::path& destination, uint64_t& compressedSize, std::string& error) {
    std::ifstream in(source, std::ios::binary);
    std::ofstream out(destination, std::ios::binary | std::ios::trunc);
    Deflater deflater(form.ZlibWindowBits);
    if (!in || !out || !deflater.ready) {
        error = "cannot open " + (in ? destination.string() : source.string());
        return false;
    }
    auto input = std::make_unique<std::array<char, kBlockSize>>();
    auto output = std::make_unique<std::array<char, kBlockSize>>();
    z_stream& z = deflater.z;
    compressedSize = 0;
    for (bool last = false; !last;) {
        in.read(input->data(), static_cast<std::streamsize>(input->size()));
        if (in.bad()) {
            error = "cannot read " + source.string();
            return false;
        }
        last = in.eof();
        z.next_in = reinterpret_cast<Bytef*>(input->data());
        z.avail_in = static_cast<uInt>(in.gcount());
        int result = Z_OK;
        do {
            z.next_out = reinterpret_cast<Bytef*>(output->data());
            z.avail_out = static_cast<uInt>(output->size());
            result = deflate(&z, last ? Z_FINISH : Z_NO_FLUSH);
            const size_t produced = output->size() - z.avail_out;
            out.write(output->data(), static_cast<std::streamsize>(produced));
            compressedSize += produced;
        } while (z.avail_out == 0 || (last && result != Z_STREAM_END));
    }
    out.close();
    if (!out) {
        error = "cannot write " + destination.string();
        return false;
    }
    return true;
}
