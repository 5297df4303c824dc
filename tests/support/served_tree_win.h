#pragma once
// The test update server seen from a test program: its address, the folder
// it serves, the faults it injects and the requests it logged. The wrapper
// tests/server/update_server.py starts it and exports its whereabouts.
#include "manifest/release_vocabulary.h"
#include "transfer/server_address.h"
#include "transfer/transfer_win.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

struct LoggedRequest {
    std::string path;  // URL-decoded, UTF-8
    std::string raw;   // as it was on the wire
    int connection = 0;
    std::string host;     // the Host header
    std::string range;    // the Range header, empty when none
    std::string ifRange;  // the If-Range header, empty when none
};

class ServedTree {
public:
    ServedTree();

    bool Available() const { return server_.Port != 0; }
    const S_UpdateSerivceAddr& Server() const { return server_; }
    // A loopback address where nothing listens.
    S_UpdateSerivceAddr DeadServer() const;

    // Puts bytes at /{type}/{gbkName} ('\' separates folders).
    void Put(uint32_t type, const std::string& gbkName, const std::string& bytes) const;
    // `json` holds the fault's parameters, e.g. R"("status": 404)".
    void SetFault(const std::string& utf8Path, const std::string& kind, const std::string& json = {});
    void ClearFaults();

    std::vector<LoggedRequest> Requests() const;
    // The requests whose path starts with `utf8Prefix`.
    std::vector<LoggedRequest> RequestsUnder(const std::string& utf8Prefix) const;

private:
    void WriteFaults() const;
    S_UpdateSerivceAddr server_;
    std::string root_;  // Windows path, ends with '\'
    std::string log_;
    uint16_t deadPort_ = 0;
    std::map<std::string, std::string> faults_;
};

std::string RandomBytes(size_t size, unsigned seed);

// A test against the test update server, with no faults left by earlier tests.
class ServedTreeTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tree.Available()) << "run me through tests/server/update_server.py";
        tree.ClearFaults();
    }

    ServedTree tree;
};

// A file's gzip form as a release lists it ("NAME.gz", its size, the file's size).
inline CompressedForm GzipForm(uint64_t size, std::optional<uint64_t> decodedSize) {
    return CompressedForm{std::string(kGzipForm.Suffix), kGzipForm.ZlibWindowBits, size, decodedSize};
}
