// The baseline the app's start-up, memory and idle figures are held against: a bare
// QWebEngineView, nothing else, showing a local page with a focused <textarea>.
//
//   webview_baseline PAGE.html
//
// Prints "flintly-trace baseline-loaded <ms since the epoch> <ok>" on standard error when the page has
// loaded, like the app's start-up trace, so a script can time both from exec the same
// way; then runs until it is ended.
#include <QApplication>
#include <QDateTime>
#include <QUrl>
#include <QWebEngineView>

#include <cstdio>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: webview_baseline PAGE.html\n");
        return 2;
    }
    QWebEngineView view;
    view.setWindowTitle(QStringLiteral("Flintly baseline"));
    QObject::connect(&view, &QWebEngineView::loadFinished, &view, [&view](bool ok) {
        std::fprintf(stderr, "flintly-trace baseline-loaded %lld %d\n",
                     static_cast<long long>(QDateTime::currentMSecsSinceEpoch()), ok ? 1 : 0);
        view.setFocus();
    });
    view.load(QUrl::fromLocalFile(QString::fromLocal8Bit(argv[1])));
    view.resize(520, 640);
    view.show();
    view.activateWindow();
    return app.exec();
}
