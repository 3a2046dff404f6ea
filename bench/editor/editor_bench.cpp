// From the page finishing an edit to MarkdownModel.text holding it, in a 100 KB note,
// through the real engine, the handler shim, the web channel and the coordinator.
//
// The edit is made in the page (an append, which the page reports exactly like typing:
// in its own task right after the edit, flattening the whole note). The page stamps the
// moment its edit returned; the model's textChanged stamps the arrival. Both stamps are
// wall-clock milliseconds of the same machine.

#include "document/MarkdownModel.h"
#include "editor/WebView.h"
#include "editor/WebViewBridge.h"
#include "platform/Dialogs.h"
#include "platform/SettingsStore.h"
#include "support/PageBench.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

using namespace flintly;

namespace {

using bench::NoUrlOpener;

double wallMs()
{
    using namespace std::chrono;
    return duration<double, std::milli>(system_clock::now().time_since_epoch()).count();
}

bool waitUntil(const std::function<bool()>& done, int timeoutMs) { return bench::waitUntil(done, timeoutMs, 5); }

QVariant evaluate(QWebEnginePage* page, const QString& script) { return bench::evaluate(page, script, 10000); }

QString hundredKilobyteNote()
{
    QString note;
    int i = 0;
    while (note.size() < 100 * 1024) {
        note +=
            QStringLiteral("## Section %1\n\nSome *emphasis*, a [link](https://example.com/%1), `code` and 한글 text.\n"
                           "- [ ] a task to do\n- [x] a task done\n\n```js\nconst x = %1;\n```\n\n")
                .arg(++i);
    }
    return note.left(100 * 1024);
}

}  // namespace

int main(int argc, char** argv)
{
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toUtf8());
    qputenv("XDG_CACHE_HOME", (home.path() + "/cache").toUtf8());
    qputenv("XDG_DATA_HOME", (home.path() + "/data").toUtf8());
    QApplication app(argc, argv);

    SettingsStore settings(home.filePath(QStringLiteral("Flintly.conf")));
    MarkdownModel::Dependencies deps;
    deps.settings = &settings;
    MarkdownModel model(deps);
    NoUrlOpener opener;
    WebViewBridge bridge;
    WebView view(model, WebView::Options{&opener, &bridge});
    view.resize(400, 600);
    view.show();

    QWebEnginePage* page = view.webView()->page();
    if (!waitUntil(
            [&] { return !page->isLoading() && evaluate(page, "typeof window.getMarkdown === 'function'").toBool(); },
            30000)) {
        std::fprintf(stderr, "the editor page did not load (is FLINTLY_RESOURCE_DIR set?)\n");
        return 1;
    }

    const QString note = hundredKilobyteNote();
    model.setText(note);
    if (!waitUntil([&] { return evaluate(page, "window.getMarkdown().length").toInt() == note.size(); }, 10000)) {
        std::fprintf(stderr, "the note did not reach the page\n");
        return 1;
    }

    double arrived = 0;
    QObject::connect(&model, &MarkdownModel::textChanged, &model, [&] { arrived = wallMs(); });

    constexpr int kRounds = 60;
    std::vector<double> figures;
    for (int i = 0; i < kRounds; ++i) {
        arrived = 0;
        const qsizetype expected = model.text().size() + 1;
        const double editedAt =
            evaluate(page, "window.appendMarkdown('x'); performance.timeOrigin + performance.now()").toDouble();
        if (!waitUntil([&] { return arrived != 0 && model.text().size() == expected; }, 5000)) {
            std::fprintf(stderr, "round %d: the edit never reached the model\n", i);
            return 1;
        }
        figures.push_back(arrived - editedAt);
        // Let the text subscription's debounce run, as it does between keystrokes.
        waitUntil([] { return false; }, 170);
    }
    std::sort(figures.begin(), figures.end());
    const auto at = [&](double q) { return figures[static_cast<size_t>(q * (figures.size() - 1))]; };
    std::printf("page edit -> MarkdownModel.text, 100 KB note, %d rounds\n", kRounds);
    std::printf("  median %.2f ms   p90 %.2f ms   min %.2f ms   max %.2f ms   (target: median < 20 ms)\n", at(0.5),
                at(0.9), figures.front(), figures.back());
    return 0;
}
