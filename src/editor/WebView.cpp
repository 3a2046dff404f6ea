#include "editor/WebView.h"

#include "document/MarkdownModel.h"
#include "editor/Coordinator.h"
#include "editor/EditorWebPage.h"
#include "editor/ScriptMessageEndpoint.h"
#include "editor/WebViewBridge.h"
#include "platform/AppPaths.h"
#include "platform/Log.h"
#include "platform_widgets/DesktopUrlOpener.h"

#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScopeGuard>
#include <QShortcut>
#include <QStyleHints>
#include <QVBoxLayout>
#include <QWebChannel>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>

namespace flintly {

namespace {

// The page posts these names and no others; the shim offers exactly these handlers.
constexpr auto kEndpointName = "flintlyNative";

// Gives the page window.webkit.messageHandlers.NAME.postMessage(body) before any of
// its scripts run. Messages posted before the channel has finished its handshake wait
// in order and go out once it has, so the first keystroke is never lost. postMessage
// returns a promise that settles when the app has taken the message, so the page can
// hold back the next whole-text report of a big note until the last one has arrived.
//
// The channel carries a message as JSON, parsed on both sides of the process boundary:
// seconds for a note of many megabytes. So a long text report crosses once whole, and
// after that as the stretch that differs from the text reported before it (the
// endpoint keeps that text too). A whole one is parked under a number, which is posted
// instead, and the endpoint takes it with a script, as a plain string. Should the two
// ends ever disagree about the text before, the endpoint asks for the whole text again.
constexpr auto kShim = R"JS(
;(function () {
  'use strict';
  var names = ['didChange', 'openLink', 'saveNote', 'installUpdate'];
  var endpoint = null;
  var waiting = [];
  var longText = 65536;
  var session = Math.floor(Math.random() * 9007199254740991);
  var base = null, baseGeneration = 0, baseReport = 0;
  var parked = {}, lastParked = 0;
  function generationNow() {
    return typeof window.editorGeneration === 'number' ? window.editorGeneration : 0;
  }
  function reportNow() {
    return typeof window.editorReport === 'number' ? window.editorReport : 0;
  }
  function isHigh(c) { return c >= 0xD800 && c <= 0xDBFF; }
  function isLow(c) { return c >= 0xDC00 && c <= 0xDFFF; }
  // [from, to, insert]: b is a with a.slice(from, to) replaced by insert. Compared a
  // block at a time (native), then a character at a time; pairs are never split.
  function diff(a, b) {
    var n = Math.min(a.length, b.length), p = 0, s = 0, block = 4096;
    while (p + block <= n && a.substr(p, block) === b.substr(p, block)) p += block;
    while (p < n && a.charCodeAt(p) === b.charCodeAt(p)) p++;
    if (p > 0 && isHigh(b.charCodeAt(p - 1))) p--;
    var m = n - p;
    while (s + block <= m && a.substr(a.length - s - block, block) === b.substr(b.length - s - block, block)) s += block;
    while (s < m && a.charCodeAt(a.length - 1 - s) === b.charCodeAt(b.length - 1 - s)) s++;
    if (s > 0 && isLow(b.charCodeAt(b.length - s))) s--;
    return [p, a.length - s, b.slice(p, b.length - s)];
  }
  function park(generation, text, arrived, report) {
    parked[++lastParked] = { generation: generation, text: text, arrived: arrived, report: report };
    return { parked: lastParked, session: session };
  }
  Object.defineProperty(window, '%2', {
    value: function (id) {
      var p = parked[id];
      if (!p) return null;
      delete parked[id];
      p.arrived();
      var marked = p.text.charCodeAt(0) === 0xFEFF;
      return [p.generation, marked ? '=' + p.text : p.text, marked, p.report];
    },
    writable: false, configurable: false, enumerable: false
  });
  Object.defineProperty(window, '%3', {
    value: function () {
      if (base !== null) send('didChange', park(baseGeneration, base, function () {}, baseReport), function () {});
    },
    writable: false, configurable: false, enumerable: false
  });
  // Qt drops a byte-order mark that starts a string on its way out of the engine, so
  // a note beginning with one would lose it; every string goes with a marker in front,
  // which the endpoint takes off again. The marker carries the generation of the text
  // the page was last given, so a report made before a newer text arrived is known, and
  // a text report's number, which a merge made on it names.
  function encode(name, body, arrived) {
    if (typeof body !== 'string') return body === undefined ? null : body;
    var generation = generationNow();
    if (name !== 'didChange' && name !== 'saveNote') return generation + '=' + body;
    var report = reportNow();
    var message;
    if (body.length <= longText) message = generation + ':' + report + '=' + body;
    else if (base === null) message = park(generation, body, arrived, report);
    else {
      var d = diff(base, body);
      message = { edit: [session, d[0], d[1], '=' + d[2], body.length], generation: generation, report: report };
    }
    base = body;
    baseGeneration = generation;
    baseReport = report;
    return message;
  }
  // A parked text has arrived once the app has taken it.
  function deliver(name, message, arrived) {
    endpoint.post(name, message, function () {
      if (!message || typeof message.parked !== 'number') arrived();
    });
  }
  function send(name, message, arrived) {
    if (endpoint) deliver(name, message, arrived); else waiting.push([name, message, arrived]);
  }
  // When the page takes a text from the app, that text is what its next report differs
  // from, on both ends: no report of a big note ever has to cross whole just because
  // the note was opened.
  var wrappedSetMarkdown;
  function adoptingSetMarkdown(pageSetMarkdown) {
    if (typeof pageSetMarkdown !== 'function') return pageSetMarkdown;
    return function (text, generation) {
      var before = generationNow();
      var result = pageSetMarkdown.apply(this, arguments);
      var now = generationNow();
      if (typeof text === 'string' && typeof generation === 'number' && now === generation && now !== before) {
        base = text;
        baseGeneration = generation;
        send('didChange', { adopt: [session, generation, text.length] }, function () {});
      }
      return result;
    };
  }
  Object.defineProperty(window, 'setMarkdown', {
    get: function () { return wrappedSetMarkdown; },
    set: function (f) { wrappedSetMarkdown = adoptingSetMarkdown(f); },
    configurable: false, enumerable: true
  });
  var handlers = {};
  names.forEach(function (name) {
    handlers[name] = Object.freeze({
      postMessage: function (body) {
        return new Promise(function (arrived) { send(name, encode(name, body, arrived), arrived); });
      }
    });
  });
  Object.defineProperty(window, 'webkit', {
    value: Object.freeze({ messageHandlers: Object.freeze(handlers) }),
    writable: false, configurable: false, enumerable: false
  });
  var tries = 0;
  function connect() {
    if (typeof qt === 'undefined' || !qt.webChannelTransport) {
      if (++tries < 500) setTimeout(connect, 10);
      return;
    }
    new QWebChannel(qt.webChannelTransport, function (channel) {
      endpoint = channel.objects.%1;
      waiting.splice(0).forEach(function (m) { deliver(m[0], m[1], m[2]); });
    });
  }
  connect();
})();
)JS";

QString qwebchannelSource()
{
    QFile file(QStringLiteral(":/qtwebchannel/qwebchannel.js"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

}  // namespace

QString WebView::messageHandlerScript()
{
    static const QString script = qwebchannelSource()
        + QString::fromLatin1(kShim).arg(QLatin1String(kEndpointName),
                                         QLatin1String(ScriptMessageEndpoint::kTakeParked),
                                         QLatin1String(ScriptMessageEndpoint::kResend));
    return script;
}

WebView::WebView(MarkdownModel& model, QWidget* parent) : WebView(model, Options{}, parent) {}

WebView::WebView(MarkdownModel& model, Options options, QWidget* parent)
    : QWidget(parent), model_(model), bridge_(options.bridge ? *options.bridge : WebViewBridge::shared())
{
    UrlOpener* opener = options.urlOpener;
    if (!opener) {
        ownUrlOpener_ = std::make_unique<DesktopUrlOpener>();
        opener = ownUrlOpener_.get();
    }
    coordinator_ = std::make_unique<Coordinator>(this, model_, *opener, bridge_, options.time);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    // Transparent, so the note view's own background shows through the page.
    setAttribute(Qt::WA_TranslucentBackground);
}

WebView::~WebView()
{
    // The page must go before the coordinator it reports to.
    delete web_.data();
    delete devTools_.data();
}

void WebView::showEvent(QShowEvent* event)
{
    ensureWebView();
    // A web view made ahead of time (so its page loads while the app starts) tells of
    // its page when it is first shown, where the line has always been.
    if (!loadingLine_.isEmpty())
        log(std::exchange(loadingLine_, QString()));
    QWidget::showEvent(event);
}

void WebView::ensureWebView()
{
    if (!web_)
        makeWebView();
}

void WebView::makeWebView()
{
    // The page blinks the caret it draws itself, twice a second, and stops after ten
    // seconds without input, as the desktop does. The engine's own caret, which the page
    // hides, would otherwise repaint twice a second for as long as the note is on
    // screen. The engine reads the blink time once, when its page starts loading, so the
    // application's setting (for its other text fields) is back right after.
    QStyleHints* hints = QGuiApplication::styleHints();
    const int flashTime = hints->cursorFlashTime();
    hints->setCursorFlashTime(0);
    const auto restoreFlashTime = qScopeGuard([hints, flashTime] { hints->setCursorFlashTime(flashTime); });

    auto* web = new QWebEngineView(this);
    auto* page = new EditorWebPage(coordinator_.get(), web);

    auto* endpoint = new ScriptMessageEndpoint(
        [coordinator = coordinator_.get()](const QString& name, const QJsonValue& body, quint64 generation) {
            coordinator->receiveScriptMessage(name, body, generation);
        },
        [coordinator = coordinator_.get()](const QString& name, const QString& text, quint64 generation,
                                           quint64 report) {
            coordinator->receiveScriptText(name, text, generation, report);
        },
        [page](const QString& script, std::function<void(const QVariant&)> done) {
            page->runJavaScript(script, std::move(done));
        },
        [coordinator = coordinator_.get()](quint64 generation) { return coordinator->sentText(generation); }, page);
    auto* channel = new QWebChannel(page);
    channel->registerObject(QLatin1String(kEndpointName), endpoint);
    page->setWebChannel(channel);

    QWebEngineScript handlers;
    handlers.setName(QStringLiteral("flintly-message-handlers"));
    handlers.setInjectionPoint(QWebEngineScript::DocumentCreation);
    handlers.setWorldId(QWebEngineScript::MainWorld);
    handlers.setRunsOnSubFrames(false);
    handlers.setSourceCode(messageHandlerScript());
    page->scripts().insert(handlers);

    // The page's stylesheet and script sit beside index.html and load as file URLs.
    page->settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, true);
    web->setPage(page);
    layout()->addWidget(web);

    bridge_.setWebView(web);
    // Template insertion reaches the page through the bridge, which outlives this view.
    model_.setEditorBridge(&bridge_);
    installDeveloperTools(web);
    page->setBackgroundColor(Qt::transparent);
    // No scroll area wraps the view here; the page scrolls its own content.

    connect(page, &QWebEnginePage::loadStarted, coordinator_.get(),
            [coordinator = coordinator_.get()] { coordinator->didStartNavigation(); });
    connect(page, &QWebEnginePage::loadFinished, coordinator_.get(), [coordinator = coordinator_.get()](bool ok) {
        if (ok)
            coordinator->didFinishNavigation();
    });

    const QString index = AppPaths::resource(QStringLiteral("dist/index.html"));
    if (QFileInfo(index).isFile()) {
        loadingLine_ = QStringLiteral("🔍 loading: ") + index;
        if (isVisible())
            log(std::exchange(loadingLine_, QString()));
        web->load(QUrl::fromLocalFile(index));
    } else {
        log("❌ index.html not found – check Copy Bundle Resources.");
    }

    web_ = web;
    coordinator_->setWeb(web);
    bridge_.announceWebViewCreated(web);
}

void WebView::installDeveloperTools(QWebEngineView* web)
{
    // The inspector opens in a window of its own, on demand, so a user never meets it
    // by accident and a developer needs no rebuild to debug the page.
    auto* shortcut = new QShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+I")), web);
    shortcut->setContext(Qt::WidgetWithChildrenShortcut);
    connect(shortcut, &QShortcut::activated, this, [this] {
        if (!web_)
            return;
        if (!devTools_) {
            devTools_ = new QWebEngineView;
            devTools_->setAttribute(Qt::WA_DeleteOnClose);
            devTools_->setWindowTitle(QStringLiteral("Flintly Editor Inspector"));
            devTools_->resize(900, 600);
            web_->page()->setDevToolsPage(devTools_->page());
        }
        devTools_->show();
        devTools_->raise();
    });
}

}  // namespace flintly
