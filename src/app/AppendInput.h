#pragma once

#include <QByteArray>
#include <QString>

#include <cstdio>

namespace flintly {

// Text handed to `flintly --append`, checked before anything is changed: a note is
// UTF-8 text, so bytes that are not (a binary piped in by mistake, another encoding)
// are refused whole rather than stored as replacement characters.
struct AppendInput {
    // More than a person captures at once, and small enough that the running app takes
    // it in one go.
    static constexpr qsizetype kMaxBytes = 1024 * 1024;

    enum class Status { text, empty, notText, tooLarge, unreadable };
    Status status = Status::empty;
    QString text;
    QString message;  // for refusals: what to tell the user

    // Trailing line ends are dropped (`echo` adds one); input that is only white
    // space counts as empty.
    static AppendInput fromBytes(const QByteArray& bytes);
    // Reads `stream` to its end, or to one byte past the limit.
    static AppendInput fromStream(std::FILE* stream);
};

}  // namespace flintly
