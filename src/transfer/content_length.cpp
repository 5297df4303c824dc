#include "transfer/content_length.h"

#include "base/decimal_text.h"

std::optional<uint64_t> ParseContentLength(std::string_view text) { return ParseDecimalCount(text); }
