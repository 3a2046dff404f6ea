#include "editor/Coordinator.h"

#include "document/MarkdownModel.h"
#include "document/TextDecoding.h"
#include "editor/ScriptText.h"
#include "editor/UpdateController.h"
#include "editor/WebViewBridge.h"
#include "platform/Dialogs.h"
#include "platform/Log.h"
#include "platform/MainThread.h"

#include <QEventLoop>
#include <QTimer>

#include <array>
#include <cstdio>
#include <optional>

#include <utility>

namespace flintly {

namespace {

// Links the page asks us to open: the order is the one the log readers know.
constexpr std::array<QLatin1String, 4> kLinkSchemes{QLatin1String("http"), QLatin1String("https"),
                                                    QLatin1String("mailto"), QLatin1String("tel")};

bool isLinkScheme(const QString& scheme)
{
    for (const auto& s : kLinkSchemes)
        if (scheme == s)
            return true;
    return false;
}

bool isWebScheme(const QString& scheme) { return scheme == QLatin1String("http") || scheme == QLatin1String("https"); }

QString absolute(const QUrl& url) { return url.toString(QUrl::FullyEncoded); }

}  // namespace

Coordinator::Coordinator(WebView* parent, MarkdownModel& model, UrlOpener& urlOpener, WebViewBridge& bridge,
                         TimeSource* time)
    : parent_(parent), model_(model), urlOpener_(urlOpener), bridge_(bridge)
{
    // Debounced so that a burst of outside changes (a reload, a template) costs the page
    // one replacement, and so that the page's own edit, stored meanwhile, is recognised
    // by lastHTMLFromJS when the timer fires.
    cancellable_ = new Debouncer(
        kTextDebounceMs, [this] { textSettled(); }, this, time);
    connect(&model_, &MarkdownModel::textChanged, cancellable_, [this] { cancellable_->trigger(); });
    // A replacement that leaves the text as it was still gives the page a new generation.
    connect(&model_, &MarkdownModel::generationChanged, cancellable_, [this] { generationMoved(); });
    connect(&model_, &MarkdownModel::notice, this, [this](const QString& message) {
        if (pageLoaded_)
            evaluate(ScriptText::showNotice(message));
        else
            heldNotices_.append(message);
    });
}

Coordinator::~Coordinator() = default;

void Coordinator::textSettled()
{
    const QString text = model_.text();
    // Until the page has loaded, a text sent would be lost; the load sends the latest.
    if (isUpdatingFromJS_ || !web_ || !pageLoaded_
        || (text == lastHTMLFromJS_ && model_.generation() == sentGeneration_))
        return;
    lastHTMLFromJS_ = text;
    pushText();
}

void Coordinator::pushText()
{
    sentGeneration_ = model_.generation();
    sentText_ = model_.text();
    const QString script = ScriptText::setMarkdown(*sentText_, sentGeneration_);
    // Scripts that drive the built app (tests, benchmarks) learn when the page holds a text.
    static const bool trace = qEnvironmentVariableIsSet("FLINTLY_TRACE");
    if (trace && web_) {
        web_->page()->runJavaScript(
            script + QStringLiteral(" true;"), [generation = sentGeneration_](const QVariant& done) {
                if (done.toBool())
                    std::fprintf(stderr, "flintly-trace text-set %llu\n", static_cast<unsigned long long>(generation));
            });
        return;
    }
    evaluate(script);
}

void Coordinator::generationMoved()
{
    // A merge goes to the page at once, as edits, when the page can take them: the
    // sooner it is there, the less typing it has to be mapped over.
    if (pushMerge())
        cancellable_->cancel();
    else
        cancellable_->trigger();
}

bool Coordinator::pushMerge()
{
    const auto& merge = model_.lastMerge();
    const quint64 generation = model_.generation();
    if (!merge || merge->generation != generation || merge->whole || !web_ || !pageLoaded_ || !pageReport_
        || pageReport_->id == 0 || merge->onto != pageReport_->text)
        return false;
    sentGeneration_ = generation;
    sentText_.reset();
    lastHTMLFromJS_ = model_.text();
    static const bool trace = qEnvironmentVariableIsSet("FLINTLY_TRACE");
    QPointer<Coordinator> self(this);
    web_->page()->runJavaScript(ScriptText::mergeMarkdown(merge->edits, generation, pageReport_->id),
                                [self, generation](const QVariant& v) {
                                    const QString answer = v.toString();
                                    if (trace)
                                        std::fprintf(stderr, "flintly-trace text-merged %llu %s\n",
                                                     static_cast<unsigned long long>(generation), qPrintable(answer));
                                    // "stale": a later report is on its way, and the model merges again on it.
                                    if (self && answer != QLatin1String("merged") && answer != QLatin1String("stale")
                                        && self->model_.generation() == generation)
                                        self->pushText();
                                });
    return true;
}

std::optional<QString> Coordinator::sentText(quint64 generation) const
{
    return generation == sentGeneration_ ? sentText_ : std::nullopt;
}

void Coordinator::didFinishNavigation()
{
    if (!web_)
        return;
    pageLoaded_ = true;
    pushText();
    for (const QString& message : std::exchange(heldNotices_, {}))
        evaluate(ScriptText::showNotice(message));
    web_->setFocus(Qt::OtherFocusReason);
}

bool Coordinator::pullLatestText(int timeoutMs)
{
    if (!web_)
        return false;
    // The marker keeps a leading byte-order mark, which Qt drops from strings it
    // hands out of the engine.
    static const QString script =
        QStringLiteral("(function () { if (typeof window.getMarkdown !== 'function') return null;"
                       " return [typeof window.editorGeneration === 'number' ? window.editorGeneration : 0,"
                       " '=' + window.getMarkdown()]; })()");
    // The answer may come after we gave up waiting; it must not touch this frame then.
    struct Pull {
        std::optional<QVariantList> answer;
        QEventLoop* loop = nullptr;
    };
    auto pull = std::make_shared<Pull>();
    QEventLoop loop;
    pull->loop = &loop;
    QPointer<Coordinator> self(this);
    web_->page()->runJavaScript(script, [pull](const QVariant& v) {
        pull->answer = v.toList();
        if (pull->loop)
            pull->loop->quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    if (!pull->answer)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    pull->loop = nullptr;
    const auto& answer = pull->answer;
    if (!self)
        return false;
    if (!answer || answer->size() != 2) {
        log("⚠️ 편집기가 제때 답하지 않아 마지막으로 받은 내용으로 저장");
        return false;
    }

    const QString marked = answer->at(1).toString();
    model_.setTextFromEditor(marked.mid(1), answer->at(0).toULongLong());
    return true;
}

void Coordinator::receiveScriptMessage(const QString& name, const QJsonValue& body, quint64 generation)
{
    if (body.isString())
        receiveScriptText(name, body.toString(), generation);
    else if (name == QLatin1String("installUpdate"))
        installUpdate();
}

void Coordinator::receiveScriptText(const QString& name, const QString& text, quint64 generation, quint64 report)
{
    if (name == QLatin1String("didChange")) {
        // A report made on the text last given has followed the page's word that it took
        // it: the endpoint has what it needed, and a big note need not be held twice.
        if (generation == sentGeneration_)
            sentText_.reset();
        didChange(text, generation, report);
    } else if (name == QLatin1String("openLink"))
        openLink(text);
    else if (name == QLatin1String("saveNote"))
        log("🔖 saveNote received –", graphemeCount(text), "chars");
    else if (name == QLatin1String("installUpdate"))
        installUpdate();
}

void Coordinator::didChange(const QString& text, quint64 generation, quint64 report)
{
    runOn(this, [this, text, generation, report] {
        isUpdatingFromJS_ = true;
        const QString before = lastHTMLFromJS_;
        lastHTMLFromJS_ = text;
        pageReport_ = PageReport{text, report};
        // Queued before the assignment, so it still runs after this task: a text
        // observer may tear the editor (and us) down, after which `this` is gone.
        runOn(this, [this] { isUpdatingFromJS_ = false; });
        QPointer<Coordinator> self(this);
        const quint64 sentBefore = sentGeneration_;
        const bool taken = model_.setTextFromEditor(text, generation);
        if (!self || taken)
            return;
        if (sentGeneration_ != sentBefore && sentGeneration_ == model_.generation())
            return;  // merged into what replaced it, and on its way to the page as edits
        // The report predates the text the page was given since: the page and the
        // model must end up agreeing, so the model's text goes to the page again.
        lastHTMLFromJS_ = before;
        cancellable_->trigger();
    });
}

void Coordinator::openLink(const QString& body)
{
    log("[Native] 🔗 링크 열기 요청 수신:", body);
    const QUrl url(body, QUrl::StrictMode);
    if (!url.isValid()) {
        log("[Native] ❌ 유효하지 않은 URL:", body);
        evaluate(ScriptText::invalidUrlError(body));
        return;
    }
    const QString scheme = url.scheme().toLower();
    if (!isLinkScheme(scheme)) {
        log("[Native] ❌ 허용되지 않은 프로토콜:", scheme.isEmpty() ? QStringLiteral("nil") : scheme);
        evaluate(ScriptText::unsupportedLinkError());
        return;
    }
    log("[Native] ✅ URL 검증 완료, 브라우저에서 열기 시도:", absolute(url));
    const bool opened = urlOpener_.openUrl(url);
    log("[Native] 🌐 브라우저 열기 결과:", opened ? "성공" : "실패");
    if (!opened) {
        log("[Native] ❌ 브라우저에서 링크 열기 실패");
        evaluate(ScriptText::linkOpenFailedError());
    }
}

void Coordinator::installUpdate()
{
    log("[Native] installUpdate requested from JS");
    if (auto* updater = bridge_.updateController())
        updater->checkForUpdates();
}

bool Coordinator::decidePolicyForNavigation(const QUrl& url, QWebEnginePage::NavigationType type)
{
    if (type != QWebEnginePage::NavigationTypeLinkClicked || url.isEmpty())
        return true;
    if (!isWebScheme(url.scheme().toLower()))
        return true;
    log("[Native] decidePolicyFor link →", absolute(url));
    log("[Native] NSWorkspace.open returned", openWithWorkspace(url));
    return false;
}

void Coordinator::divertNewWindow(const std::optional<QUrl>& url)
{
    log("[Native] createWebViewWith for target=_blank →", url ? absolute(*url) : QStringLiteral("nil"));
    if (url)
        log("[Native] NSWorkspace.open returned", openWithWorkspace(*url));
}

bool Coordinator::openWithWorkspace(const QUrl& url) { return urlOpener_.openUrl(url); }

void Coordinator::evaluate(const QString& script)
{
    // Results and errors of these scripts are of no use to us: a page that has not
    // defined a function yet simply ignores the call.
    if (web_)
        web_->page()->runJavaScript(script);
}

}  // namespace flintly
