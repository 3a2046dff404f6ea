#pragma once

#include <string>

namespace flintly::analytics {

// Gzip-wrapped deflate of an upload body. Empty input is returned unchanged (with a
// warning); a zlib failure throws std::runtime_error.
std::string gzipCompressed(const std::string& data, int level = -1);

}  // namespace flintly::analytics
