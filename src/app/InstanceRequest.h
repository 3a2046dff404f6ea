#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace flintly {

// What a later launch asks of the running Flintly, and the answer it waits for: one line
// each way on the instance socket, as compact JSON (text with line breaks stays on one
// line). A bare word ("show", "toggle") is read as a request too.
struct InstanceRequest {
    enum class Kind { show, toggle, open, append, hidden };
    Kind kind = Kind::show;
    QString argument;  // open: the file's absolute path; append: the text
    // What the desktop gave the launch so that the window it shows may take the focus:
    // an XDG activation token, or on X11 a startup-notification id.
    QString activationToken;

    QByteArray encode() const;
    static std::optional<InstanceRequest> decode(const QByteArray& line);
};

struct InstanceAnswer {
    bool ok = true;
    QString error;  // why not, when !ok
    // An older Flintly answers a bare "ok" the moment it reads a request, whatever the
    // request: that says it was read, not that it was carried out.
    bool carriedOut = true;

    QByteArray encode() const;
    static std::optional<InstanceAnswer> decode(const QByteArray& line);
};

}  // namespace flintly
