#include "app/LaunchHandOver.h"

#include "app/CommandLine.h"
#include "app/SingleInstance.h"
#include "platform/AppPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>

#include <csignal>
#include <cstdio>

namespace flintly {

namespace {

// Writing a note durably takes a moment on a slow or busy disk; the what's-new alert of
// a Flintly just started waits for nobody.
constexpr int kAppendAnswerMs = 60'000;
constexpr int kRequestAnswerMs = 1000;
// A Flintly started for the request needs a moment before it listens.
constexpr int kStartPatienceMs = 30'000;
constexpr int kRunningPatienceMs = 5000;

void tell(const QString& message) { std::fprintf(stderr, "%s\n", qPrintable(message)); }

// Flintly without its window, in a session of its own; its output goes nowhere, as a
// script that captures the output of `flintly --append` would otherwise wait for
// Flintly to end.
qint64 startHiddenFlintly()
{
    QProcess flintly;
    flintly.setProgram(QCoreApplication::applicationFilePath());
    flintly.setArguments({QStringLiteral("--hidden")});
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("XDG_ACTIVATION_TOKEN"));
    env.remove(QStringLiteral("DESKTOP_STARTUP_ID"));
    flintly.setProcessEnvironment(env);
    flintly.setWorkingDirectory(QDir::homePath());
    flintly.setStandardInputFile(QProcess::nullDevice());
    flintly.setStandardOutputFile(QProcess::nullDevice());
    flintly.setStandardErrorFile(QProcess::nullDevice());
    qint64 pid = 0;
    return flintly.startDetached(&pid) ? pid : 0;
}

}  // namespace

InstanceRequest launchRequest(const CommandLine& cl, const QString& appendText)
{
    InstanceRequest request;
    using Kind = InstanceRequest::Kind;
    if (cl.action == CommandLine::Action::append) {
        request.kind = Kind::append;
        request.argument = appendText;
    } else if (!cl.file.isEmpty()) {
        request.kind = Kind::open;
        request.argument = cl.file;
    } else if (cl.action == CommandLine::Action::toggle) {
        request.kind = Kind::toggle;
    } else {
        request.kind = cl.hidden ? Kind::hidden : Kind::show;
    }
    // A Wayland launcher's token, else an X11 startup id (GNOME sets both, to one value).
    request.activationToken = qEnvironmentVariable("XDG_ACTIVATION_TOKEN");
    if (request.activationToken.isEmpty())
        request.activationToken = qEnvironmentVariable("DESKTOP_STARTUP_ID");
    qunsetenv("XDG_ACTIVATION_TOKEN");
    return request;
}

int handOverLaunch(SingleInstance& instance, const InstanceRequest& request, bool startHidden)
{
    const bool append = request.kind == InstanceRequest::Kind::append;
    std::function<bool()> stillStarting;
    if (startHidden) {
        instance.releaseLock();
        const qint64 pid = startHiddenFlintly();
        if (pid <= 0) {
            tell(QStringLiteral("flintly: could not start Flintly to take the text; nothing was added"));
            return 1;
        }
        stillStarting = [pid] { return ::kill(static_cast<pid_t>(pid), 0) == 0; };
    }
    const auto delivery = instance.handOver(request, startHidden ? kStartPatienceMs : kRunningPatienceMs,
                                            append ? kAppendAnswerMs : kRequestAnswerMs, stillStarting);
    using Outcome = SingleInstance::Delivery::Outcome;
    switch (delivery.outcome) {
    case Outcome::notRunning:
        tell(startHidden ? QStringLiteral("flintly: Flintly did not start (is there a display?); nothing was added")
                         : QStringLiteral("flintly: a Flintly with the settings in %1 is running but does not answer")
                               .arg(AppPaths::configDir()));
        return 1;
    case Outcome::noAnswer:
        tell(append ? QStringLiteral("flintly: the running Flintly did not confirm that the text was saved")
                    : QStringLiteral("flintly: the running Flintly did not answer"));
        return 1;
    case Outcome::answered: break;
    }
    if (append && !delivery.answer.carriedOut) {
        tell(QStringLiteral("flintly: the running Flintly is an older version that cannot take --append; quit it "
                            "and try again"));
        return 1;
    }
    if (!delivery.answer.ok) {
        tell(QStringLiteral("flintly: ") + delivery.answer.error);
        return 1;
    }
    return 0;
}

}  // namespace flintly
