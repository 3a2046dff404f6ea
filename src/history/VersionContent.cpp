#include "history/VersionContent.h"

#include <QCryptographicHash>

#include <zlib.h>

namespace flintly::history::content {

QByteArray bytesOf(const QString& text, bool byteOrderMark)
{
    static const QByteArray mark("\xEF\xBB\xBF");
    return byteOrderMark ? mark + text.toUtf8() : text.toUtf8();
}

QByteArray digest(const QByteArray& bytes) { return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256); }

QByteArray compress(const QByteArray& bytes)
{
    uLongf room = compressBound(static_cast<uLong>(bytes.size()));
    QByteArray out(static_cast<qsizetype>(room), Qt::Uninitialized);
    // Level 6 (zlib's default): a 1 MB note in about 10 ms on the history's own thread.
    if (compress2(reinterpret_cast<Bytef*>(out.data()), &room, reinterpret_cast<const Bytef*>(bytes.constData()),
                  static_cast<uLong>(bytes.size()), Z_DEFAULT_COMPRESSION)
        != Z_OK)
        return {};
    out.resize(static_cast<qsizetype>(room));
    return out;
}

std::optional<QByteArray> uncompress(const QByteArray& stored, qint64 size)
{
    if (size <= 0)
        return size == 0 ? std::optional<QByteArray>(QByteArray()) : std::nullopt;
    QByteArray out(static_cast<qsizetype>(size), Qt::Uninitialized);
    uLongf length = static_cast<uLongf>(size);
    const int rc = ::uncompress(reinterpret_cast<Bytef*>(out.data()), &length,
                                reinterpret_cast<const Bytef*>(stored.constData()), static_cast<uLong>(stored.size()));
    if (rc != Z_OK || static_cast<qint64>(length) != size)
        return std::nullopt;
    return out;
}

}  // namespace flintly::history::content
