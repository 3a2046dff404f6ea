#include "EditorFixture.h"

#include "editor/UpdateController.h"

#include <QApplication>
#include <QFile>
#include <QTest>

namespace flintly::test {
namespace {

struct HostileText {
    const char* name;
    QString text;
};

// Texts that break naive escaping into a template literal, or that the trip through
// JavaScript source, UTF-8 and the channel's JSON would quietly change.
QList<HostileText> hostileTexts()
{
    return {
        {"backticks-and-backslashes", QStringLiteral("code: `x` and \\` and C:\\path\\ and a trailing \\")},
        {"template-substitution", QStringLiteral("${window.__pwned = 1} and \\${x} and $${y} and $")},
        {"closing-the-call", QStringLiteral("`); window.__pwned = 1; (`")},
        {"escape-lookalikes", QStringLiteral("\\n is not a newline, \\u0041 is not A, \\0 \\x41")},
        {"crlf", QStringLiteral("first\r\nsecond\r\n\r\nthird")},
        {"lone-cr-and-mixed", QStringLiteral("a\rb\nc\r\nd\r")},
        {"line-separators", QStringLiteral("para\u2028line\u2029end")},
        {"controls", QString(QChar(0)) + QStringLiteral("nul \x01 \x1b[31m \x7f tab\there")},
        {"emoji-and-joiners", QStringLiteral("👩‍👩‍👧 🇰🇷 é (e\u0301) 한글")},
        {"bom-and-replacement", QStringLiteral("\uFEFFstarts with BOM, \uFFFD replaced")},
        {"markup", QStringLiteral("</script><script>window.__pwned=1</script><!--")},
    };
}

// --- Text, both ways -------------------------------------------------------------------

TEST_F(EditorFixture, HostileTextsArriveInThePageExactly)
{
    openEditor();
    for (const auto& [name, text] : hostileTexts()) {
        model->setText(text);
        EXPECT_TRUE(pageTextBecomes(text)) << name << ": page has " << pageText().toStdString();
        EXPECT_EQ(view->coordinator().lastHTMLFromJS(), text) << name;
    }
    EXPECT_TRUE(js(QStringLiteral("window.__pwned === undefined")).toBool());
    // The page took them as set-text, which it does not report back.
    spin(300);
    EXPECT_EQ(model->text(), hostileTexts().last().text);
}

TEST_F(EditorFixture, HostileTextsFromThePageReachTheModelExactly)
{
    openEditor();
    for (const auto& [name, text] : hostileTexts()) {
        // Appending into an empty note is a page edit that keeps the piece's own line
        // breaks, so the page reports exactly this text.
        js(QStringLiteral("window.setMarkdown(''); window.appendMarkdown(%1); true").arg(jsString(text)));
        EXPECT_TRUE(waitUntil([&] { return model->text() == text; }))
            << name << ": model has " << model->text().toStdString();
    }
    spin(300);
    // Every one of them came from the page: only the test's own set-text calls ran.
    EXPECT_EQ(setCalls(), hostileTexts().size());
    EXPECT_TRUE(js(QStringLiteral("window.__pwned === undefined")).toBool());
}

TEST_F(EditorFixture, ABigNotesTextReachesTheModelIntactAsItIsTyped)
{
    // Long reports cross as the stretch that changed (see the handler script): every
    // edit, wherever it lands and whatever it holds, must leave the model's text whole.
    QString big = QStringLiteral("\uFEFF# Big\r\n\r\n");
    for (int i = 0; big.size() < 300 * 1024; ++i)
        big += QStringLiteral("- [ ] line %1 with 한글, 👩‍👩‍👧 and `code`\r\n").arg(i);
    model->setText(big);
    openEditor();
    ASSERT_TRUE(pageTextBecomes(big, 10000));
    js(QStringLiteral("document.querySelector('.cm-content').focus(); true"));
    QWidget* keys = view->webView()->focusProxy();
    QTest::keyClick(keys, Qt::Key_End, Qt::ControlModifier);
    QTest::keyClicks(keys, QStringLiteral("end "));
    // Keys reach the page on their own way: the script must not overtake them.
    ASSERT_TRUE(waitUntil([&] { return model->text() == big + QStringLiteral("end "); }, 10000)) << "typed at the end";
    js(QStringLiteral("window.appendMarkdown('👍'); true"));
    QString expected = big + QStringLiteral("end 👍");
    ASSERT_TRUE(waitUntil([&] { return model->text() == expected; }, 10000)) << "a pair appended";
    QTest::keyClick(keys, Qt::Key_Home, Qt::ControlModifier);
    QTest::keyClick(keys, Qt::Key_Delete);
    QTest::keyClicks(keys, QStringLiteral("x"));
    expected = QStringLiteral("x") + expected.mid(1);
    EXPECT_TRUE(waitUntil([&] { return model->text() == expected; }, 10000)) << "the byte-order mark replaced";
    // A whole new text from the app, then typing in it.
    QString other = big;
    other.replace(QStringLiteral("line"), QStringLiteral("row"));
    model->setText(other);
    ASSERT_TRUE(pageTextBecomes(other, 10000));
    QTest::keyClick(keys, Qt::Key_End, Qt::ControlModifier);
    QTest::keyClicks(keys, QStringLiteral("!"));
    EXPECT_TRUE(waitUntil([&] { return model->text() == other + QStringLiteral("!"); }, 10000));
}

TEST_F(EditorFixture, AppendedTemplatesArriveExactlyWithoutReplacingTheNote)
{
    openEditor();
    for (const auto& [name, text] : hostileTexts()) {
        model->setText(QString());
        ASSERT_TRUE(pageTextBecomes(QString()));
        const int before = setCalls();
        model->appendText(text);
        EXPECT_TRUE(pageTextBecomes(text)) << name << ": page has " << pageText().toStdString();
        spin(250);
        EXPECT_EQ(model->text(), text) << name;
        EXPECT_EQ(setCalls(), before) << name << ": the append came back as a set-text";
    }

    // Into a note: two newlines and the piece, cursor and history left alone.
    model->setText(QStringLiteral("# Note"));
    ASSERT_TRUE(pageTextBecomes(QStringLiteral("# Note")));
    const QString piece = QStringLiteral("- [ ] `${todo}` \\ done");
    model->appendText(piece);
    EXPECT_TRUE(pageTextBecomes(QStringLiteral("# Note\n\n") + piece));
    EXPECT_TRUE(js(QStringLiteral("window.__pwned === undefined")).toBool());

    // The page holds text the note has not heard of yet (typing whose report is still on
    // its way): the blank line goes where the page needs it, not where the note thinks.
    model->setText(QString());
    ASSERT_TRUE(pageTextBecomes(QString()));
    js(QStringLiteral("window.setMarkdown('Friday', %1); true").arg(model->generation() + 1000));
    ASSERT_EQ(model->text(), QString());
    model->appendText(QStringLiteral("## Retro"));
    EXPECT_TRUE(pageTextBecomes(QStringLiteral("Friday\n\n## Retro"))) << pageText().toStdString();
}

TEST_F(EditorFixture, TypingUpdatesTheModelWithoutASetTextComingBack)
{
    model->setText(QStringLiteral("start"));
    openEditor();
    ASSERT_TRUE(pageTextBecomes(QStringLiteral("start")));
    // The first text on load is not recorded as sent: only the subscription does that.
    EXPECT_EQ(view->coordinator().lastHTMLFromJS(), QString());
    ASSERT_TRUE(waitUntil([&] { return view->webView()->focusProxy() != nullptr; }));
    js(QStringLiteral("document.querySelector('.cm-content').focus(); true"));
    const int before = setCalls();

    QWidget* keys = view->webView()->focusProxy();
    QTest::keyClick(keys, Qt::Key_End, Qt::ControlModifier);
    QTest::keyClicks(keys, QStringLiteral(" typed"));
    ASSERT_TRUE(waitUntil([&] { return model->text() == QStringLiteral("start typed"); }))
        << model->text().toStdString();
    EXPECT_EQ(view->coordinator().lastHTMLFromJS(), QStringLiteral("start typed"));
    spin(400);  // well past the debounce
    EXPECT_EQ(setCalls(), before);
    EXPECT_FALSE(view->coordinator().isUpdatingFromJS());
    EXPECT_EQ(pageText(), QStringLiteral("start typed"));
}

TEST_F(EditorFixture, OutsideChangesReachThePageOnceTheyHaveSettled)
{
    test::ManualTime time;
    openEditor(true, &time);
    const int before = setCalls();
    model->setText(QStringLiteral("one"));
    time.advance(40);
    model->setText(QStringLiteral("two"));
    time.advance(40);
    model->setText(QStringLiteral("three"));
    time.advance(Coordinator::kTextDebounceMs - 1);
    spin(100);  // what the page would have been sent by now has arrived
    EXPECT_EQ(setCalls(), before) << "still inside the quiet period after the last change";
    time.advance(1);
    ASSERT_TRUE(pageTextBecomes(QStringLiteral("three"), 2000));
    time.advance(Coordinator::kTextDebounceMs * 3);
    spin(100);
    EXPECT_EQ(setCalls(), before + 1) << "a burst is sent once, with its last text";
}

TEST_F(EditorFixture, AReportMadeBeforeTheLastTextArrivedNeverLeavesPageAndModelApart)
{
    const QString a = home.filePath(QStringLiteral("Notes/A.md"));
    const QString b = home.filePath(QStringLiteral("Notes/B.md"));
    for (const auto& [path, text] : {std::pair{a, QByteArray("note A")}, std::pair{b, QByteArray("note B")}}) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    openEditor();
    model->open(QUrl::fromLocalFile(a));
    ASSERT_TRUE(pageTextBecomes(QStringLiteral("note A")));
    const quint64 onA = model->generation();
    model->open(QUrl::fromLocalFile(b));
    // Typed into A, posted just before B reached the page.
    view->coordinator().receiveScriptMessage(QStringLiteral("didChange"), QJsonValue(QStringLiteral("note A typed")),
                                             onA);
    ASSERT_TRUE(pageTextBecomes(QStringLiteral("note B")));
    spin(800);
    EXPECT_EQ(model->text(), QStringLiteral("note B"));
    EXPECT_EQ(pageText(), QStringLiteral("note B"));
    QFile f(b);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("note B")) << "B never gets A's typing";

    // Typing in the page is reported against the text it was given, and taken.
    js(QStringLiteral("document.querySelector('.cm-content').focus(); true"));
    QTest::keyClick(view->webView()->focusProxy(), Qt::Key_End, Qt::ControlModifier);
    QTest::keyClicks(view->webView()->focusProxy(), QStringLiteral("!"));
    EXPECT_TRUE(waitUntil([&] { return model->text() == QStringLiteral("note B!"); }));
}

TEST_F(EditorFixture, NonStringBodiesAndUnknownMessagesAreIgnored)
{
    model->setText(QStringLiteral("kept"));
    openEditor();
    post(QStringLiteral("didChange"), QStringLiteral("{ text: 'no' }"));
    post(QStringLiteral("didChange"), QStringLiteral("42"));
    post(QStringLiteral("openLink"), QStringLiteral("['https://example.com']"));
    post(QStringLiteral("saveNote"), QStringLiteral("null"));
    EXPECT_FALSE(js(QStringLiteral("'bogus' in window.webkit.messageHandlers")).toBool());
    view->coordinator().receiveScriptMessage(QStringLiteral("bogus"), QJsonValue(QStringLiteral("x")));
    spin(300);
    EXPECT_EQ(model->text(), QStringLiteral("kept"));
    EXPECT_TRUE(opener.opened.isEmpty());
    EXPECT_FALSE(logs.containsPrefix(QStringLiteral("🔖")));
    EXPECT_FALSE(logs.containsPrefix(QStringLiteral("[Native] 🔗")));
}

TEST_F(EditorFixture, SaveNoteOnlyLogsAndInstallUpdateReachesTheUpdater)
{
    struct CountingUpdater final : UpdateController {
        int checks = 0;
        void checkForUpdates() override { ++checks; }
    } updater;
    openEditor();
    post(QStringLiteral("saveNote"), jsString(QStringLiteral("👩‍👩‍👧 a\r\nb")));  // 5 characters
    ASSERT_TRUE(waitUntil([&] { return logs.contains(QStringLiteral("🔖 saveNote received – 5 chars")); }));
    // Nothing of the body is stored or written (the model's own pipeline may still save
    // its empty scratch note meanwhile).
    spin(700);
    EXPECT_EQ(model->text(), QString());
    QDir notes(home.filePath(QStringLiteral("Notes")));
    for (const QString& name : notes.entryList(QDir::Files)) {
        QFile f(notes.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_FALSE(f.readAll().contains("a\r\nb")) << name.toStdString();
    }

    post(QStringLiteral("installUpdate"), QStringLiteral("'page'"));
    ASSERT_TRUE(waitUntil([&] { return logs.count(QStringLiteral("[Native] installUpdate requested from JS")) == 1; }));
    bridge.setUpdateController(&updater);
    post(QStringLiteral("installUpdate"), QStringLiteral("undefined"));
    ASSERT_TRUE(waitUntil([&] { return updater.checks == 1; }));
    EXPECT_EQ(logs.count(QStringLiteral("[Native] installUpdate requested from JS")), 2);
    bridge.setUpdateController(nullptr);
}

// The view may be torn down by whoever observes the text (closing the window on some
// edit): the rest of the message handling must not touch what is gone.
TEST_F(EditorFixture, AnObserverDestroyingTheEditorMidMessageIsSurvived)
{
    openEditor();
    QObject guard;
    QObject::connect(model.get(), &MarkdownModel::textChanged, &guard, [this] { view.reset(); });
    js(QStringLiteral("window.appendMarkdown('bye'); true"));
    ASSERT_TRUE(waitUntil([&] { return view == nullptr; }));
    spin(300);
    EXPECT_EQ(model->text(), QStringLiteral("bye"));
    EXPECT_EQ(bridge.webView(), nullptr);
    model->appendText(QStringLiteral("after"));  // the bridge has no view: nothing happens
    EXPECT_EQ(model->text(), QStringLiteral("bye\n\nafter"));
}

// --- Links ----------------------------------------------------------------------------

struct LinkCase {
    const char* name;
    QString body;
    bool desktopAnswer;
    QStringList expectedLogs;  // after the "received" line
    QStringList expectedErrors;
    bool opens;
};

class LinkTest : public EditorFixture, public ::testing::WithParamInterface<LinkCase> {};

TEST_P(LinkTest, OpenLinkIsValidatedThenOpenedOrReported)
{
    const LinkCase& c = GetParam();
    opener.answer = c.desktopAnswer;
    openEditor();
    post(QStringLiteral("openLink"), jsString(c.body));
    ASSERT_TRUE(waitUntil([&] { return logs.contains(QStringLiteral("[Native] 🔗 링크 열기 요청 수신: ") + c.body); }));
    spin(200);
    QStringList native;
    for (const QString& line : logs.lines())
        if (line.startsWith(QLatin1String("[Native]")) && !line.contains(QStringLiteral("수신")))
            native.append(line);
    EXPECT_EQ(native, c.expectedLogs);
    EXPECT_EQ(opener.opened.size(), c.opens ? 1 : 0);
    EXPECT_TRUE(waitUntil([&] { return linkErrors() == c.expectedErrors; }, 1000))
        << linkErrors().join(" | ").toStdString();
    EXPECT_TRUE(js(QStringLiteral("window.__pwned === undefined")).toBool());
}

const QString kUnsupported = QStringLiteral("지원하지 않는 링크 형식입니다");

INSTANTIATE_TEST_SUITE_P(
    Schemes, LinkTest,
    ::testing::Values(
        LinkCase{"https",
                 QStringLiteral("https://example.com/a?b=c#d"),
                 true,
                 {QStringLiteral("[Native] ✅ URL 검증 완료, 브라우저에서 열기 시도: https://example.com/a?b=c#d"),
                  QStringLiteral("[Native] 🌐 브라우저 열기 결과: 성공")},
                 {},
                 true},
        LinkCase{"http-upper-case-scheme",
                 QStringLiteral("HTTP://example.com/"),
                 true,
                 {QStringLiteral("[Native] ✅ URL 검증 완료, 브라우저에서 열기 시도: http://example.com/"),
                  QStringLiteral("[Native] 🌐 브라우저 열기 결과: 성공")},
                 {},
                 true},
        LinkCase{"mailto",
                 QStringLiteral("mailto:someone@example.com"),
                 true,
                 {QStringLiteral("[Native] ✅ URL 검증 완료, 브라우저에서 열기 시도: mailto:someone@example.com"),
                  QStringLiteral("[Native] 🌐 브라우저 열기 결과: 성공")},
                 {},
                 true},
        LinkCase{"tel",
                 QStringLiteral("tel:+82-10-1234-5678"),
                 true,
                 {QStringLiteral("[Native] ✅ URL 검증 완료, 브라우저에서 열기 시도: tel:+82-10-1234-5678"),
                  QStringLiteral("[Native] 🌐 브라우저 열기 결과: 성공")},
                 {},
                 true},
        LinkCase{"desktop-refuses",
                 QStringLiteral("https://example.com/"),
                 false,
                 {QStringLiteral("[Native] ✅ URL 검증 완료, 브라우저에서 열기 시도: https://example.com/"),
                  QStringLiteral("[Native] 🌐 브라우저 열기 결과: 실패"),
                  QStringLiteral("[Native] ❌ 브라우저에서 링크 열기 실패")},
                 {QStringLiteral("링크를 열 수 없습니다")},
                 true},
        LinkCase{"other-scheme",
                 QStringLiteral("ftp://example.com/file"),
                 true,
                 {QStringLiteral("[Native] ❌ 허용되지 않은 프로토콜: ftp")},
                 {kUnsupported},
                 false},
        LinkCase{"javascript",
                 QStringLiteral("javascript:window.__pwned=1"),
                 true,
                 {QStringLiteral("[Native] ❌ 허용되지 않은 프로토콜: javascript")},
                 {kUnsupported},
                 false},
        LinkCase{"no-scheme",
                 QStringLiteral("notes/today.md"),
                 true,
                 {QStringLiteral("[Native] ❌ 허용되지 않은 프로토콜: nil")},
                 {kUnsupported},
                 false},
        LinkCase{"not-a-url",
                 QStringLiteral("not a url"),
                 true,
                 {QStringLiteral("[Native] ❌ 유효하지 않은 URL: not a url")},
                 {QStringLiteral("유효하지 않은 URL: not a url")},
                 false},
        LinkCase{"empty",
                 QString(),
                 true,
                 {QStringLiteral("[Native] ❌ 유효하지 않은 URL: ")},
                 {QStringLiteral("유효하지 않은 URL: ")},
                 false},
        LinkCase{"crafted-to-run-script",
                 QStringLiteral("x y'); window.__pwned = 1; ('\\\n\u2028"),
                 true,
                 {QStringLiteral("[Native] ❌ 유효하지 않은 URL: x y'); window.__pwned = 1; ('\\\n\u2028")},
                 {QStringLiteral("유효하지 않은 URL: x y'); window.__pwned = 1; ('\\\n\u2028")},
                 false}),
    [](const auto& info) {
        std::string n = info.param.name;
        for (char& ch : n)
            if (ch == '-')
                ch = '_';
        return n;
    });

TEST_F(EditorFixture, WebLinksClickedInThePageGoToTheBrowserAndThePageStays)
{
    openEditor();
    const QUrl pageUrl = page()->url();
    const auto windowsBefore = QApplication::topLevelWidgets().size();
    js(QStringLiteral(R"JS(
        const a = document.createElement('a');
        a.href = 'https://example.com/same'; a.textContent = 'x'; document.body.appendChild(a); a.click(); true;
    )JS"));
    ASSERT_TRUE(waitUntil([&] { return opener.opened.size() == 1; }));
    EXPECT_EQ(opener.opened.first(), QUrl(QStringLiteral("https://example.com/same")));
    EXPECT_TRUE(logs.contains(QStringLiteral("[Native] decidePolicyFor link → https://example.com/same")));
    EXPECT_TRUE(logs.contains(QStringLiteral("[Native] NSWorkspace.open returned true")));

    js(QStringLiteral(R"JS(
        const b = document.createElement('a');
        b.href = 'https://example.com/blank'; b.target = '_blank'; b.textContent = 'y';
        document.body.appendChild(b); b.click(); true;
    )JS"));
    ASSERT_TRUE(waitUntil([&] { return opener.opened.size() == 2; }));
    EXPECT_EQ(opener.opened.last(), QUrl(QStringLiteral("https://example.com/blank")));
    EXPECT_TRUE(
        logs.contains(QStringLiteral("[Native] createWebViewWith for target=_blank → https://example.com/blank")));

    js(QStringLiteral("window.open('https://example.com/popup'); true"));
    ASSERT_TRUE(waitUntil([&] { return opener.opened.size() == 3; }));
    spin(300);
    EXPECT_EQ(opener.opened.size(), 3) << "each link is opened once";
    EXPECT_EQ(QApplication::topLevelWidgets().size(), windowsBefore) << "no second window";
    EXPECT_EQ(page()->url(), pageUrl);
    EXPECT_EQ(js(QStringLiteral("typeof window.getMarkdown")).toString(), QStringLiteral("function"));
}

// --- Registration and a missing page --------------------------------------------------

TEST_F(EditorFixture, TheWebViewIsRegisteredWithTheBridgeAndAnnounced)
{
    QWebEngineView* announced = nullptr;
    QObject::connect(&bridge, &WebViewBridge::webViewCreated, &bridge, [&](QWebEngineView* v) { announced = v; });
    openEditor(false);
    EXPECT_EQ(bridge.webView(), view->webView());
    EXPECT_EQ(announced, view->webView());
    EXPECT_TRUE(logs.containsPrefix(QStringLiteral("🔍 loading: ")));
    EXPECT_EQ(view->webView()->page()->backgroundColor(), QColor(Qt::transparent));
    view->hide();
    view->show();  // shown again: still the same web view
    EXPECT_EQ(view->webView(), announced);
    view.reset();
    EXPECT_EQ(bridge.webView(), nullptr);
}

// Quitting asks the page through the bridge for what it has not reported yet.
TEST_F(EditorFixture, QuittingTakesThePagesUnreportedTextThroughTheBridge)
{
    EXPECT_FALSE(bridge.pullLatestText(500)) << "no page to ask";
    openEditor();
    model->setText(QString());
    ASSERT_TRUE(pageTextBecomes(QString()));
    // Set as the page sets its own text: no report goes out, as with typing whose report
    // is still on its way.
    js(QStringLiteral("window.setMarkdown('typed just before quitting', %1); true").arg(model->generation() + 1000));
    ASSERT_EQ(model->text(), QString());
    EXPECT_TRUE(bridge.pullLatestText(5000));
    EXPECT_EQ(model->text(), QStringLiteral("typed just before quitting"));
}

TEST_F(EditorFixture, ANoticeFromBeforeThePageLoadedIsShownOnceItHas)
{
    // A file given at start-up that would not open: the page is still loading.
    openEditor(false);
    model->reportOpenFailure(QStringLiteral("/nowhere/todo.md"), QStringLiteral("there is no such file"));
    waitForPageReady();
    EXPECT_TRUE(waitUntil([&] {
        return evaluateJs(page(), QStringLiteral("document.getElementById('fl-toast')?.textContent ?? ''")).toString()
            == QStringLiteral("Could not open “todo.md”: there is no such file.");
    }));
}

TEST_F(EditorFixture, AMissingPageIsLoggedAndEverythingElseKeepsWorking)
{
    QTemporaryDir empty;
    const QByteArray previous = qgetenv("FLINTLY_RESOURCE_DIR");
    qputenv("FLINTLY_RESOURCE_DIR", empty.path().toUtf8());
    openEditor(false);
    qputenv("FLINTLY_RESOURCE_DIR", previous);

    EXPECT_TRUE(logs.contains(QStringLiteral("❌ index.html not found – check Copy Bundle Resources.")));
    EXPECT_FALSE(logs.containsPrefix(QStringLiteral("🔍 loading:")));
    model->setText(QStringLiteral("still editable"));
    model->appendText(QStringLiteral("and appendable"));
    spin(300);
    EXPECT_EQ(model->text(), QStringLiteral("still editable\n\nand appendable"));
    EXPECT_EQ(bridge.webView(), view->webView());
}

}  // namespace
}  // namespace flintly::test
