#include "document/DurableWrite.h"

#include <QFile>

namespace flintly {

std::optional<FileStamp> stampOfFile(const QString& path)
{
    return stampOfFile(std::string(QFile::encodeName(path).constData()));
}

FileStamp writeFileDurably(const QString& path, const QByteArray& bytes)
{
    try {
        return writeFileDurably(std::string(QFile::encodeName(path).constData()),
                                std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    } catch (const DurableWriteError& e) {
        const QString message = QString::fromLocal8Bit(e.what());
        if (const auto written = e.written())
            throw NotDurableError(message, *written);
        throw FileError(message);
    }
}

}  // namespace flintly
