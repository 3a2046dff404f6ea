#include "search/NoteText.h"

#include "document/TextDecoding.h"
#include "search/TextFolding.h"

#include <QFile>

#include <algorithm>

namespace flintly::search {

std::optional<QString> readSearchableText(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxSearchedBytes)
        return std::nullopt;
    // One byte more than the file holds: a file that grew meanwhile is read to its end.
    QByteArray bytes = file.read(file.size() + 1);
    if (bytes.size() > file.size() && file.error() == QFileDevice::NoError)
        bytes += file.read(kMaxSearchedBytes + 1 - bytes.size());
    if (file.error() != QFileDevice::NoError || bytes.size() > kMaxSearchedBytes || bytes.contains('\0'))
        return std::nullopt;
    return decodeUtf8(bytes);
}

namespace {
// Decodes the UTF-8 sequence at `p` (valid: it came from QString::toUtf8).
char32_t decodeAt(const unsigned char* p, const unsigned char* end, int* length)
{
    const unsigned char b = *p;
    int n = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
    if (p + n > end)
        n = static_cast<int>(end - p);
    char32_t c = n == 1 ? b : b & (0x7F >> n);
    for (int k = 1; k < n; ++k)
        c = (c << 6) | (p[k] & 0x3F);
    *length = n;
    return c;
}

bool asciiWordChar(unsigned char c)
{
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z');
}
}  // namespace

std::vector<std::string> distinctWords(QStringView folded)
{
    const QByteArray utf8 = folded.toUtf8();
    const auto* p = reinterpret_cast<const unsigned char*>(utf8.constData());
    const auto* end = p + utf8.size();
    // Each new word once, through a small open-addressing table: sorting every
    // occurrence costs several times more than the rest of indexing together.
    std::vector<std::string_view> words;
    std::size_t capacity = 64;
    while (capacity < static_cast<std::size_t>(utf8.size()) / 2)
        capacity *= 2;
    std::vector<quint32> table(capacity, 0);
    auto remember = [&](std::string_view w) {
        std::uint64_t h = 1469598103934665603ull;
        for (const char c : w)
            h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
        std::size_t s = h & (capacity - 1);
        while (table[s]) {
            if (words[table[s] - 1] == w)
                return;
            s = (s + 1) & (capacity - 1);
        }
        words.push_back(w);
        table[s] = static_cast<quint32>(words.size());
    };
    while (p < end) {
        // To the next word character, then to the end of its run.
        int len = 1;
        while (p < end && !(*p < 0x80 ? asciiWordChar(*p) : isWordChar(decodeAt(p, end, &len)))) {
            p += *p < 0x80 ? 1 : len;
            len = 1;
        }
        const auto* start = p;
        while (p < end) {
            if (*p < 0x80) {
                if (!asciiWordChar(*p))
                    break;
                ++p;
            } else {
                if (!isWordChar(decodeAt(p, end, &len)))
                    break;
                p += len;
            }
        }
        if (p > start)
            remember(std::string_view(reinterpret_cast<const char*>(start), static_cast<std::size_t>(p - start)));
    }
    std::sort(words.begin(), words.end());
    return {words.begin(), words.end()};
}

}  // namespace flintly::search
