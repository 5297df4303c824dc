#pragma once
// A file on disk (GBK path) read at any offset. It is opened shared for
// reading, writing and deleting: the installed copy a patch is applied to
// may be open in the running client. Its size is taken once, at opening; a
// file that shrinks meanwhile fails the reads past its new end.
#include "delta/byte_access.h"

#include <memory>
#include <string>

// Nothing, with why in status, when the file cannot be opened.
std::unique_ptr<CRandomAccessSource> OpenFileSource(const std::string& path, Status& status);
