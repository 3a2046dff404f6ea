#include "analytics/Gzip.h"

#include "analytics/AnalyticsLogger.h"
#include "analytics/JSONHandler.h"

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace flintly::analytics {

std::string gzipCompressed(const std::string& data, int level)
{
    if (data.empty()) {
        ANALYTICS_WARNING("Empty Data object cannot be compressed.");
        return data;
    }
    z_stream stream{};
    // Window bits 31 = 15 plus the gzip wrapper; memory level 9; default strategy.
    if (deflateInit2(&stream, level, Z_DEFLATED, 31, 9, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error(stream.msg ? stream.msg : "deflateInit2 failed");

    // Start at half the input and grow by half whenever full. A floor keeps tiny inputs
    // from starting (and growing) at zero bytes, which would never finish.
    std::string out(std::max<size_t>(data.size() / 2, 64), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    stream.avail_in = static_cast<uInt>(data.size());
    int status = Z_OK;
    while (status == Z_OK || status == Z_BUF_ERROR) {
        if (stream.total_out >= out.size())
            out.resize(out.size() + out.size() / 2);
        stream.next_out = reinterpret_cast<Bytef*>(out.data() + stream.total_out);
        stream.avail_out = static_cast<uInt>(out.size() - stream.total_out);
        status = deflate(&stream, Z_FINISH);
    }
    const auto compressedSize = stream.total_out;
    deflateEnd(&stream);
    if (status != Z_STREAM_END)
        throw std::runtime_error("deflate failed with status " + std::to_string(status));
    out.resize(compressedSize);

    const double fraction = static_cast<double>(compressedSize) / static_cast<double>(data.size());
    const double ratio = std::floor(fraction * 1000) / 1000;
    const double percentage = std::floor((1 - fraction) * 100 * 1000) / 1000;
    ANALYTICS_INFO("Payload gzipped: original size = " + std::to_string(data.size()) + " bytes, compressed size = "
                   + std::to_string(compressedSize) + " bytes, compression ratio = " + JSONHandler::formatDouble(ratio)
                   + ", compression percentage = " + JSONHandler::formatDouble(percentage) + "%");
    return out;
}

}  // namespace flintly::analytics
