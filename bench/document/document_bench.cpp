// Figures for the note document: the native cost of a keystroke in a large note, the
// cost of a durable save, and how closely the save follows the half-second pause.
#include "document/MarkdownModel.h"
#include "platform/Log.h"
#include "platform/SettingsStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace flintly;

namespace {
double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void spin(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

QString bulk(qsizetype bytes)
{
    const QString line = QStringLiteral("some words of a long note, with a - [x] ticked item now and then\n");
    QString s = QStringLiteral("# A big note\n\n");
    while (s.size() < bytes)
        s += line;
    return s;
}
}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    // The benchmark's own folder on the same disk as the build, not a RAM disk, so the
    // save figure includes a real fsync.
    QTemporaryDir home(QDir::currentPath() + QStringLiteral("/document-bench-XXXXXX"));
    QDir().mkpath(home.filePath(QStringLiteral("Notes")));
    SettingsStore settings(home.filePath(QStringLiteral("Flintly.conf")));
    settings.setFileUrl(QStringLiteral("flintlySaveFolder"),
                        QUrl::fromLocalFile(home.filePath(QStringLiteral("Notes"))));
    setLogObserver({});
    std::freopen("/dev/null", "w", stdout);  // the model logs every save; keep the figures readable

    MarkdownModel model{MarkdownModel::Dependencies(&settings)};

    // 1. A keystroke at the end of a 5 MB note (native side: model, title, debounce).
    QString text = bulk(5 << 20);
    model.setText(text);
    std::vector<double> keystroke;
    for (int i = 0; i < 200; ++i) {
        text.append(QLatin1Char('a' + i % 26));
        QElapsedTimer t;
        t.start();
        model.setText(text);
        keystroke.push_back(t.nsecsElapsed() / 1e6);
    }

    // 2. save() of a 1 MB note, fsync included.
    model.newNote();
    model.setText(bulk(1 << 20));
    model.save();
    std::vector<double> saves;
    for (int i = 0; i < 30; ++i) {
        model.setText(model.text() + QStringLiteral("x"));
        QElapsedTimer t;
        t.start();
        model.save();
        saves.push_back(t.nsecsElapsed() / 1e6);
        spin(150);  // let the flag release and the statistics pass run between saves
    }

    // 3. The pipeline's save after the last change.
    model.newNote();
    std::vector<double> delays;
    QElapsedTimer sinceChange;
    bool seen = false;
    setLogObserver([&](const QString& line) {
        if (line.startsWith(QStringLiteral("💾 save() start")) && !seen) {
            seen = true;
            delays.push_back(sinceChange.nsecsElapsed() / 1e6);
        }
    });
    for (int i = 0; i < 10; ++i) {
        seen = false;
        model.setText(QStringLiteral("Pause test ") + QString::number(i));
        sinceChange.start();
        while (!seen && sinceChange.elapsed() < 2000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        spin(200);
    }
    setLogObserver({});

    const double worstOff = [&] {
        double w = 0;
        for (double d : delays)
            w = std::max(w, std::abs(d - 500));
        return w;
    }();
    std::fprintf(stderr, "keystroke in a 5 MB note (native): median %.3f ms, max %.3f ms   (target < 1 ms)\n",
                 median(keystroke), *std::max_element(keystroke.begin(), keystroke.end()));
    std::fprintf(stderr, "save() of a 1 MB note with fsync: median %.2f ms, max %.2f ms   (target < 30 ms)\n",
                 median(saves), *std::max_element(saves.begin(), saves.end()));
    std::fprintf(stderr,
                 "save after the last change: median %.1f ms, furthest from 500: %.1f ms   (target 500 ± 50 ms)\n",
                 median(delays), worstOff);
    return 0;
}
