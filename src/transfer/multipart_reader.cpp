#include "transfer/multipart_reader.h"

#include "base/text_rules.h"
#include "transfer/range_resume.h"

#include <algorithm>

namespace {
// A delimiter is at most 2 + 70 + 2 characters (RFC 2046); headers of a
// part are a few short lines. Anything longer is no answer of a web server.
constexpr size_t kMaxLineBytes = 1024;
constexpr size_t kMaxPartHeaderBytes = 4096;
constexpr size_t kMaxPreambleBytes = 1024;
constexpr size_t kMaxBoundaryLength = 70;

constexpr std::string_view kBlanks = " \t";

std::string_view Trimmed(std::string_view text) {
    const size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

bool IsBoundary(std::string_view text) {
    if (text.empty() || text.size() > kMaxBoundaryLength || text.back() == ' ') return false;
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c <= 0x7E; });
}
}  // namespace

std::optional<std::string> ByteRangesBoundary(std::string_view contentType) {
    size_t semicolon = contentType.find(';');
    if (!EqualsIgnoringAsciiCase(Trimmed(contentType.substr(0, semicolon)), "multipart/byteranges")) {
        return std::nullopt;
    }
    while (semicolon != std::string_view::npos) {
        contentType.remove_prefix(semicolon + 1);
        semicolon = contentType.find(';');
        const std::string_view parameter = Trimmed(contentType.substr(0, semicolon));
        const size_t equals = parameter.find('=');
        if (equals == std::string_view::npos || !EqualsIgnoringAsciiCase(Trimmed(parameter.substr(0, equals)), "boundary")) {
            continue;
        }
        std::string_view value = Trimmed(parameter.substr(equals + 1));
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
            value = value.substr(1, value.size() - 2);
        } else if (value.find('"') != std::string_view::npos) {
            return std::nullopt;
        }
        if (!IsBoundary(value)) return std::nullopt;
        return std::string(value);
    }
    return std::nullopt;
}

CMultipartReader::CMultipartReader(std::string boundary, std::vector<ByteRange> asked, Sink sink)
    : boundary_(std::move(boundary)), asked_(std::move(asked)), sink_(std::move(sink)) {}

MultipartStatus CMultipartReader::Fail(const char* why) {
    state_ = State::Failed;
    why_ = why;
    status_ = MultipartStatus::Malformed;
    return status_;
}

std::optional<bool> CMultipartReader::Delimiter(std::string_view line) const {
    line = line.substr(0, line.find_last_not_of(kBlanks) + 1);
    if (line.size() < 2 + boundary_.size() || !line.starts_with("--") || line.substr(2, boundary_.size()) != boundary_) {
        return std::nullopt;
    }
    const std::string_view rest = line.substr(2 + boundary_.size());
    if (rest.empty()) return false;
    if (rest == "--") return true;
    return std::nullopt;
}

MultipartStatus CMultipartReader::Feed(std::string_view bytes) {
    while (!bytes.empty() && status_ == MultipartStatus::NeedsMore) {
        if (state_ == State::Finished) return status_;
        if (state_ == State::Body) {
            const size_t take = static_cast<size_t>(std::min<uint64_t>(left_, bytes.size()));
            if (!sink_(offset_, bytes.substr(0, take))) {
                status_ = MultipartStatus::Stopped;
                break;
            }
            offset_ += take;
            left_ -= take;
            bytes.remove_prefix(take);
            if (left_ == 0) state_ = State::AfterBody;
            continue;
        }
        const size_t end = bytes.find('\n');
        const std::string_view piece = bytes.substr(0, end);
        if (line_.size() + piece.size() > kMaxLineBytes) return Fail("a line longer than any part header");
        line_.append(piece);
        if (end == std::string_view::npos) break;
        bytes.remove_prefix(end + 1);
        std::string_view line = line_;
        if (line.ends_with('\r')) line.remove_suffix(1);
        const MultipartStatus status = Line(line);
        line_.clear();
        if (status != MultipartStatus::NeedsMore) return status;
    }
    return status_;
}

MultipartStatus CMultipartReader::Line(std::string_view line) {
    switch (state_) {
    case State::Preamble:
        if (const std::optional<bool> delimiter = Delimiter(line)) {
            if (*delimiter) return Fail("no part before the close delimiter");
            state_ = State::Headers;
            return MultipartStatus::NeedsMore;
        }
        preambleBytes_ += line.size() + 1;
        if (preambleBytes_ > kMaxPreambleBytes) return Fail("no delimiter where the parts should begin");
        return MultipartStatus::NeedsMore;
    case State::Headers:
        if (line.empty()) return StartBody();
        return Header(line);
    case State::AfterBody:
        if (!line.empty()) return Fail("a part longer than its Content-Range");
        state_ = State::Delimiter;
        return MultipartStatus::NeedsMore;
    case State::Delimiter:
        if (const std::optional<bool> delimiter = Delimiter(line)) {
            state_ = *delimiter ? State::Finished : State::Headers;
            if (*delimiter) status_ = MultipartStatus::Finished;
            return status_;
        }
        return Fail("a part longer than its Content-Range");
    case State::Body:
    case State::Finished:
    case State::Failed:
        break;
    }
    return status_;
}

MultipartStatus CMultipartReader::Header(std::string_view line) {
    headerBytes_ += line.size() + 1;
    if (headerBytes_ > kMaxPartHeaderBytes) return Fail("a part's headers longer than any server sends");
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos) return Fail("a part header line without a name");
    if (!EqualsIgnoringAsciiCase(Trimmed(line.substr(0, colon)), "Content-Range")) return MultipartStatus::NeedsMore;
    if (range_) return Fail("a part with two Content-Ranges");
    const std::optional<ContentRange> range = ParseContentRange(Trimmed(line.substr(colon + 1)));
    if (!range) return Fail("a part's Content-Range is not bytes FIRST-LAST/SIZE");
    if (total_ && *total_ != range->Total) return Fail("parts that name different file sizes");
    total_ = range->Total;
    range_ = ByteRange{range->First, range->Last};
    return MultipartStatus::NeedsMore;
}

MultipartStatus CMultipartReader::StartBody() {
    if (!range_) return Fail("a part without a Content-Range");
    if (!CoversOnlyAsked(asked_, *range_)) return Fail("a part with bytes that were not asked for");
    if (after_ && range_->First < *after_) return Fail("a part that overlaps or comes before the one before it");
    after_ = range_->Last + 1;
    offset_ = range_->First;
    left_ = range_->Last - range_->First + 1;
    range_.reset();
    headerBytes_ = 0;
    ++parts_;
    state_ = State::Body;
    return MultipartStatus::NeedsMore;
}

MultipartStatus CMultipartReader::Finish() {
    if (status_ == MultipartStatus::NeedsMore) return Fail("the answer ended before its close delimiter");
    return status_;
}
