#pragma once
// gzip streams made inside a test, real ones from zlib, for the decoder and
// the transfers that use it.
#include <cstdint>
#include <functional>
#include <string>

// gzip -LEVEL of the bytes that produce(block) appends, block after block,
// until produce returns false.
std::string Gzip(const std::function<bool(std::string&)>& produce, int level = 9);
// Level 0 stores the bytes as they are: damage to them shows only at the
// stream's checksum.
std::string Gzip(const std::string& data, int level = 9);

// A gzip bomb: `size` zero bytes, which compress about a thousand times.
std::string GzipOfZeros(uint64_t size);

// Text that compresses about as well as program files do.
std::string RandomText(size_t size, unsigned seed = 7);
