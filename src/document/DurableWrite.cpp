#include "document/DurableWrite.h"

#include <QFile>

namespace flintly {

std::optional<FileStamp> stampOfFile(const QString& path)
{
    return stampOfFile(std::string(QFile::encodeName(path).constData()));
}

FileReplacement replaceFileDurably(const QString& path, const QByteArray& bytes, std::optional<FileStamp> expected)
{
    try {
        const Replacement r =
            replaceFileDurably(std::string(QFile::encodeName(path).constData()),
                               std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())), expected);
        return {r.written, r.displaced ? QFile::decodeName(r.displaced->c_str()) : QString()};
    } catch (const DurableWriteError& e) {
        const QString message = QString::fromLocal8Bit(e.what());
        if (const auto written = e.written())
            throw NotDurableError(message, *written,
                                  e.displaced() ? QFile::decodeName(e.displaced()->c_str()) : QString());
        throw FileError(message);
    }
}

FileStamp writeFileDurably(const QString& path, const QByteArray& bytes)
{
    return replaceFileDurably(path, bytes, std::nullopt).written;
}

}  // namespace flintly
