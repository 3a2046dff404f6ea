#include "app/AppendInput.h"

#include <QStringDecoder>

#include <cerrno>
#include <cstring>

namespace flintly {

namespace {
AppendInput refused(AppendInput::Status status, QString message)
{
    AppendInput in;
    in.status = status;
    in.message = std::move(message);
    return in;
}
}  // namespace

AppendInput AppendInput::fromBytes(const QByteArray& bytes)
{
    if (bytes.size() > kMaxBytes)
        return refused(
            Status::tooLarge,
            QStringLiteral("flintly: the text is larger than %1 bytes (1 MiB); nothing was added").arg(kMaxBytes));
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(bytes);
    // A NUL is valid UTF-8, but no text file a person writes holds one.
    if (utf8.hasError() || bytes.contains('\0'))
        return refused(Status::notText, QStringLiteral("flintly: the text is not UTF-8 text; nothing was added"));
    while (text.endsWith(u'\n') || text.endsWith(u'\r'))
        text.chop(1);
    AppendInput in;
    if (text.trimmed().isEmpty())
        return in;
    in.status = Status::text;
    in.text = std::move(text);
    return in;
}

AppendInput AppendInput::fromStream(std::FILE* stream)
{
    QByteArray bytes;
    char buffer[64 * 1024];
    while (bytes.size() <= kMaxBytes) {
        const size_t n = std::fread(buffer, 1, sizeof buffer, stream);
        bytes.append(buffer, static_cast<qsizetype>(n));
        if (n < sizeof buffer)
            break;
    }
    if (std::ferror(stream))
        return refused(Status::unreadable,
                       QStringLiteral("flintly: could not read standard input: %1; nothing was added")
                           .arg(QString::fromLocal8Bit(std::strerror(errno))));
    return fromBytes(bytes);
}

}  // namespace flintly
