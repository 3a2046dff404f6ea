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
    // Read one byte past the limit: the file may have grown since it was listed.
    const QByteArray bytes = file.read(kMaxSearchedBytes + 1);
    if (file.error() != QFileDevice::NoError || bytes.size() > kMaxSearchedBytes || bytes.contains('\0'))
        return std::nullopt;
    return decodeUtf8(bytes);
}

std::vector<std::string> distinctWords(QStringView folded)
{
    std::vector<std::string> words;
    const qsizetype n = folded.size();
    qsizetype i = 0;
    std::string word;
    while (i < n) {
        // Skip to the next word character.
        while (i < n) {
            const char16_t u = folded[i].unicode();
            if (u < 0x80 ? isWordChar(u)
                         : isWordChar(QChar::isHighSurrogate(u) && i + 1 < n
                                          ? QChar::surrogateToUcs4(u, folded[i + 1].unicode())
                                          : u))
                break;
            i += QChar::isHighSurrogate(u) && i + 1 < n ? 2 : 1;
        }
        qsizetype start = i;
        bool ascii = true;
        while (i < n) {
            const char16_t u = folded[i].unicode();
            if (u < 0x80) {
                if (!isWordChar(u))
                    break;
                ++i;
                continue;
            }
            ascii = false;
            const bool pair = QChar::isHighSurrogate(u) && i + 1 < n && QChar::isLowSurrogate(folded[i + 1].unicode());
            if (!isWordChar(pair ? QChar::surrogateToUcs4(u, folded[i + 1].unicode()) : u))
                break;
            i += pair ? 2 : 1;
        }
        if (i == start)
            continue;
        if (ascii) {
            word.resize(static_cast<std::size_t>(i - start));
            for (qsizetype k = start; k < i; ++k)
                word[static_cast<std::size_t>(k - start)] = static_cast<char>(folded[k].unicode());
            words.push_back(word);
        } else {
            words.push_back(folded.sliced(start, i - start).toString().toStdString());
        }
    }
    std::sort(words.begin(), words.end());
    words.erase(std::unique(words.begin(), words.end()), words.end());
    return words;
}

}  // namespace flintly::search
