#pragma once

#include <QString>

#include <stdexcept>

namespace flintly {

// Saving without a notes folder. `what()` is the case's name, as it reads in logs.
class ModelError : public std::runtime_error {
public:
    enum class Code { noFolder };
    explicit ModelError(Code code) : std::runtime_error("noFolder"), code_(code) {}
    Code code() const { return code_; }

private:
    Code code_;
};

// A file-system operation failed; the message carries the platform's reason.
class FileError : public std::runtime_error {
public:
    explicit FileError(const QString& message) : std::runtime_error(message.toStdString()) {}
    QString message() const { return QString::fromStdString(what()); }
};

}  // namespace flintly
