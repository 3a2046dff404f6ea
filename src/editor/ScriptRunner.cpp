#include "editor/ScriptRunner.h"

#include <QPointer>
#include <QVariantMap>
#include <QWebEnginePage>

namespace flintly {

namespace {

// The marker keeps a page's own return value from being taken for our verdict.
constexpr auto kMarker = "__flintlyScriptOutcome";

QString wrap(const QString& script)
{
    return QStringLiteral(
               "(function () {"
               " if (document.readyState !== 'complete') return { %1: true, ok: false, error: 'page not loaded' };"
               " try { %2\n ; return { %1: true, ok: true }; }"
               " catch (e) { return { %1: true, ok: false, error: String(e) }; }"
               "})()")
        .arg(QLatin1String(kMarker), script);
}

}  // namespace

void evaluateScript(QWebEnginePage* page, const QString& script, std::function<void(const ScriptOutcome&)> done)
{
    if (!page) {
        if (done)
            done({false, QStringLiteral("no web view")});
        return;
    }
    // A page that is loading, or never loaded our document, runs the script against a
    // blank or half-built document: the call would "succeed" without reaching the editor.
    if (page->isLoading() || page->url().isEmpty() || page->url().scheme() == QLatin1String("about")) {
        if (done)
            done({false, QStringLiteral("page not loaded")});
        return;
    }
    QPointer<QWebEnginePage> guard(page);
    page->runJavaScript(wrap(script), [guard, done = std::move(done)](const QVariant& result) {
        if (!done)
            return;
        const QVariantMap map = result.toMap();
        if (!guard || !map.value(QLatin1String(kMarker)).toBool()) {
            done({false, QStringLiteral("script did not complete")});
            return;
        }
        if (map.value(QStringLiteral("ok")).toBool())
            done({true, {}});
        else
            done({false, map.value(QStringLiteral("error")).toString()});
    });
}

}  // namespace flintly
