// The template panel on a real X server: its chips, keys, showing and hiding, and
// insertion into the real editor page in Qt WebEngine.
#include "editor/EditorFixture.h"
#include "platform/NotificationCenter.h"
#include "templatepanel/FolderChip.h"
#include "templatepanel/TemplateEmptyState.h"
#include "templatepanel/TemplatePanelController.h"
#include "templatepanel/TemplatePanelView.h"
#include "templatepanel/TemplatePanelWindow.h"
#include "templates/TemplatePanelViewModel.h"
#include "templates/TemplateTestSupport.h"
#include "templates/TemplateVariables.h"

#include <QAbstractAnimation>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>
#include <QWindow>

#include <xcb/xcb.h>

namespace flintly::test {
namespace {

// Animations move only when the test says so.
class ManualAnimationDriver final : public QAnimationDriver {
public:
    void step(int ms)
    {
        // An animation joins the timer through two queued calls in a row; let them arrive.
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
        elapsed_ += ms;
        advance();
        QCoreApplication::processEvents();
    }
    qint64 elapsed() const override { return elapsed_; }

protected:
    // Qt counts from the driver's start; time left over from the last run must not
    // leap a new animation forward.
    void start() override
    {
        elapsed_ = 0;
        QAnimationDriver::start();
    }

private:
    qint64 elapsed_ = 0;
};

// Stands in for the note panel: a top-level window with a field that counts the keys
// it receives.
class NoteWindow final : public QWidget {
public:
    NoteWindow()
    {
        setWindowTitle(QStringLiteral("Flintly"));
        resize(400, 550);
        move(600, 200);
        auto* layout = new QVBoxLayout(this);
        field = new QLineEdit(this);
        layout->addWidget(field);
        field->installEventFilter(this);
    }
    QLineEdit* field = nullptr;
    QList<int> keys;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress)
            keys.append(static_cast<QKeyEvent*>(event)->key());
        return false;
    }
};

class PanelFixture {
protected:
    bool hasDisplay() const { return QGuiApplication::platformName() == u"xcb"; }

    void makeController(MarkdownModel& model, SettingsStore& settings)
    {
        driver.install();
        TemplatePanelController::Dependencies deps{&model, &settings, &chooser, time.schedule()};
        controller = std::make_unique<TemplatePanelController>(std::move(deps));
    }

    void tearDownPanel()
    {
        controller.reset();
        driver.uninstall();
    }

    QString templateFolder(QTemporaryDir& home, const QString& name, const QMap<QString, QByteArray>& files)
    {
        const QString path = home.filePath(name);
        QDir().mkpath(path);
        for (auto it = files.begin(); it != files.end(); ++it)
            writeFile(QDir(path).filePath(it.key()), it.value());
        return path;
    }

    // Shows the panel on the note window and waits until it has the keyboard.
    void showOn(QWidget* anchor)
    {
        controller->show(anchor);
        ASSERT_TRUE(QTest::qWaitForWindowActive(panel()));
        driver.step(TemplatePanelController::kFadeInMs);
    }

    void finishFadeOut()
    {
        driver.step(TemplatePanelController::kFadeOutMs);
        QCoreApplication::processEvents();
    }

    // Keys go through the window system's path: the native window first, then the
    // focused widget, as a real key press would.
    void press(QWindow* window, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(window, key, modifiers);
        QCoreApplication::processEvents();
    }

    TemplatePanelWindow* panel() const { return controller->window(); }
    TemplatePanelView* panelView() const { return controller->view(); }
    QString selected() const { return QFileInfo(panelView()->selection().toLocalFile()).fileName(); }
    QStringList listed() const
    {
        QStringList names;
        for (const QUrl& url : controller->vm().results())
            names.append(QFileInfo(url.toLocalFile()).completeBaseName());
        return names;
    }

    FakeFileChooser chooser;
    ManualScheduler time;
    ManualAnimationDriver driver;
    std::unique_ptr<TemplatePanelController> controller;
};

TEST(TemplatePanelPlacement, HangsUnderTheAnchorsToolbarButStaysOnTheScreen)
{
    const QRect screen(0, 0, 1920, 1056);
    EXPECT_EQ(TemplatePanelController::contentOrigin(QRect(1496, 200, 400, 550), QSize(360, 500), screen),
              QPoint(1516, 240));
    // A short note panel low on the screen, and one pushed past the left edge.
    EXPECT_EQ(TemplatePanelController::contentOrigin(QRect(1496, 700, 400, 390), QSize(360, 500), screen),
              QPoint(1516, 556));
    EXPECT_EQ(TemplatePanelController::contentOrigin(QRect(-150, 100, 400, 550), QSize(360, 500), screen),
              QPoint(0, 140));
}

class TemplatePanel : public ::testing::Test, public PanelFixture {
protected:
    void SetUp() override
    {
        if (!hasDisplay())
            GTEST_SKIP() << "needs an X server";
        settings = std::make_unique<SettingsStore>(home.filePath(QStringLiteral("Flintly.conf")));
        model = std::make_unique<MarkdownModel>(MarkdownModel::Dependencies(settings.get()));
        model->setEditorBridge(&page);
    }
    void TearDown() override
    {
        tearDownPanel();
        model.reset();
    }

    QStringList chipNames() const
    {
        QStringList names;
        for (auto* chip : panelView()->chipRow()->findChildren<FolderChip*>())
            if (!chip->isHidden())
                names.append(chip->text() + (chip->isSelected() ? QStringLiteral("*") : QString()));
        return names;
    }
    // The row is rebuilt on every change; the widgets it replaced linger hidden until
    // deleted.
    QWidget* button(const char* name) const
    {
        for (auto* b : panelView()->chipRow()->findChildren<QWidget*>(QLatin1String(name)))
            if (!b->isHidden())
                return b;
        return nullptr;
    }

    QTemporaryDir home;
    std::unique_ptr<SettingsStore> settings;
    std::unique_ptr<MarkdownModel> model;
    RecordingEditorBridge page;
    NoteWindow note;
};

TEST_F(TemplatePanel, TheEmptyPanelSaysWhatTemplatesAreAndAddsTheStartersOnlyOnAClick)
{
    driver.install();
    TemplatePanelController::Dependencies deps{model.get(), settings.get(), &chooser, time.schedule()};
    deps.defaultFolder = home.filePath(QStringLiteral("Default"));
    controller = std::make_unique<TemplatePanelController>(std::move(deps));
    showOn(&note);
    TemplateEmptyState* empty = panelView()->emptyState();
    EXPECT_TRUE(empty->isVisible());
    EXPECT_FALSE(panelView()->list()->isVisible());
    EXPECT_EQ(empty->folderLabel()->toolTip(), home.filePath(QStringLiteral("Default")));
    for (const QString& variable : templateVariables())
        EXPECT_TRUE(panelView()->variablesHint()->text().contains(variable)) << variable.toStdString();
    EXPECT_FALSE(QFileInfo::exists(home.filePath(QStringLiteral("Default"))));

    QTest::mouseClick(empty->addStartersButton(), Qt::LeftButton);
    QCoreApplication::processEvents();
    EXPECT_EQ(listed(), (QStringList{"Checklist", "Daily Note", "Meeting Notes"}));
    EXPECT_TRUE(panelView()->list()->isVisible());
    EXPECT_FALSE(empty->isVisible());
}

TEST_F(TemplatePanel, ChipRowFollowsThePinnedFoldersAndTheCurrentOne)
{
    const QString work = templateFolder(home, QStringLiteral("Work"), {{"Standup.md", "- yesterday\n"}});
    const QString personal = templateFolder(home, QStringLiteral("Personal"), {{"Diary.md", "Dear diary\n"}});
    makeController(*model, *settings);
    showOn(&note);

    // Nothing yet: only the pin and folder buttons.
    EXPECT_TRUE(chipNames().isEmpty());
    EXPECT_TRUE(button("pinFolder"));
    EXPECT_TRUE(button("chooseFolder"));

    chooser.answers = {work};
    QTest::mouseClick(button("chooseFolder"), Qt::LeftButton);
    QCoreApplication::processEvents();
    EXPECT_EQ(chipNames(), QStringList{"Work*"});
    EXPECT_FALSE(button("chooseFolder"));
    EXPECT_TRUE(button("pinFolder"));
    EXPECT_EQ(listed(), QStringList{"Standup"});

    chooser.answers = {personal};
    QTest::mouseClick(button("pinFolder"), Qt::LeftButton);
    QCoreApplication::processEvents();
    EXPECT_EQ(chipNames(), QStringList{"Personal*"});
    EXPECT_FALSE(button("pinFolder"));

    // A folder that is not pinned stands after the pinned ones, selected.
    controller->vm().selectFolder(QUrl::fromLocalFile(work));
    QCoreApplication::processEvents();
    EXPECT_EQ(chipNames(), (QStringList{"Personal", "Work*"}));
    auto chips = panelView()->chipRow()->findChildren<FolderChip*>();
    auto* personalChip =
        *std::find_if(chips.begin(), chips.end(), [](FolderChip* c) { return c->text() == u"Personal"; });
    EXPECT_EQ(personalChip->toolTip(), personal);
    QTest::mouseClick(personalChip, Qt::LeftButton);
    QCoreApplication::processEvents();
    EXPECT_EQ(controller->vm().folder(), QUrl::fromLocalFile(personal));
    EXPECT_EQ(listed(), QStringList{"Diary"});

    // The remove button shows only under the pointer, and empties the whole row.
    chips = panelView()->chipRow()->findChildren<FolderChip*>();
    FolderChip* chip = chips.first();
    EXPECT_TRUE(chip->removeButton()->isHidden());
    QEnterEvent enter(QPointF(5, 5), chip->mapTo(panel(), QPointF(5, 5)), chip->mapToGlobal(QPointF(5, 5)));
    QApplication::sendEvent(chip, &enter);
    EXPECT_TRUE(chip->isHovering());
    EXPECT_FALSE(chip->removeButton()->isHidden());
    QTest::mouseClick(chip->removeButton(), Qt::LeftButton);
    QCoreApplication::processEvents();
    EXPECT_TRUE(chipNames().isEmpty());
    EXPECT_TRUE(button("pinFolder"));
    EXPECT_TRUE(button("chooseFolder"));
    EXPECT_TRUE(listed().isEmpty());
}

TEST_F(TemplatePanel, DownArrowRoutingWithAndWithoutModifiers)
{
    const QString path = templateFolder(home, QStringLiteral("Templates"),
                                        {{"Alpha.md", "alpha"}, {"Beta.md", "beta"}, {"Gamma.md", "gamma"}});
    model->setTemplateFolder(QUrl::fromLocalFile(path));
    makeController(*model, *settings);
    int announced = 0;
    QObject observer;
    NotificationCenter::defaultCenter().observe(QLatin1String(TemplatePanelWindow::kNavigateDown), &observer,
                                                [&](const Notification&) { ++announced; });
    note.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&note));
    showOn(&note);
    QWindow* window = panel()->windowHandle();
    ASSERT_TRUE(panelView()->searchField()->hasFocus());
    panelView()->setSelection({});

    // The keypad's Down is not the window's: the field's own handling moves into the list.
    press(window, Qt::Key_Down, Qt::KeypadModifier);
    EXPECT_EQ(announced, 0);
    EXPECT_TRUE(panelView()->list()->hasFocus());
    EXPECT_EQ(selected(), QStringLiteral("Alpha.md"));

    // A bare Down is announced, and the view acts on it: from the field into the list,
    // then one row down.
    panelView()->searchField()->setFocus();
    press(window, Qt::Key_Down);
    EXPECT_EQ(announced, 1);
    EXPECT_TRUE(panelView()->list()->hasFocus());
    press(window, Qt::Key_Down);
    EXPECT_EQ(announced, 2);
    EXPECT_EQ(selected(), QStringLiteral("Beta.md"));

    // Shift+Down in the list is the list's own business.
    press(window, Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(announced, 2);
    EXPECT_EQ(selected(), QStringLiteral("Gamma.md"));

    // Return inserts the selected template, the panel fades away, and typing goes on in
    // the note.
    press(window, Qt::Key_Return);
    EXPECT_EQ(model->text(), QStringLiteral("gamma"));
    EXPECT_EQ(page.pieces, QStringList{"gamma"});
    EXPECT_FALSE(controller->isShown());
    finishFadeOut();
    EXPECT_FALSE(panel()->isVisible());
    EXPECT_TRUE(QTest::qWaitForWindowActive(&note));
}

TEST_F(TemplatePanel, TypingNarrowsAndTheHighlightFollowsWhatIsListed)
{
    const QString path =
        templateFolder(home, QStringLiteral("Templates"), {{"Meeting.md", "m"}, {"memo.md", "x"}, {"Team.md", "t"}});
    model->setTemplateFolder(QUrl::fromLocalFile(path));
    makeController(*model, *settings);
    showOn(&note);
    EXPECT_EQ(selected(), QStringLiteral("Meeting.md"));

    QTest::keyClicks(panelView()->searchField(), QStringLiteral("te"));
    time.advance(TemplatePanelViewModel::kSearchDebounceMs);
    EXPECT_EQ(listed(), QStringList{"Team"});
    EXPECT_EQ(selected(), QStringLiteral("Team.md"));

    // Down and Return faster than the pause: the list is what was typed, not the one before.
    panelView()->searchField()->clear();
    QTest::keyClicks(panelView()->searchField(), QStringLiteral("mem"));
    press(panel()->windowHandle(), Qt::Key_Down);
    EXPECT_EQ(listed(), QStringList{"memo"});
    EXPECT_EQ(selected(), QStringLiteral("memo.md"));
    panelView()->searchField()->setFocus();

    // No match: nothing highlighted, and Return inserts nothing.
    QTest::keyClicks(panelView()->searchField(), QStringLiteral("zz"));
    time.advance(TemplatePanelViewModel::kSearchDebounceMs);
    EXPECT_TRUE(listed().isEmpty());
    press(panel()->windowHandle(), Qt::Key_Down);
    EXPECT_TRUE(panelView()->list()->hasFocus());
    EXPECT_TRUE(panelView()->selection().isEmpty());
    press(panel()->windowHandle(), Qt::Key_Return);
    EXPECT_TRUE(model->text().isEmpty());
    EXPECT_TRUE(controller->isShown());
}

TEST_F(TemplatePanel, TheMaterialIsWhiteOnALightDesktopAndThePanelColourOnADarkOne)
{
    makeController(*model, *settings);
    QPalette palette = panel()->palette();
    palette.setColor(QPalette::Window, QColor(236, 236, 236));
    panel()->setPalette(palette);
    EXPECT_EQ(panel()->materialColor(), QColor(Qt::white));
    palette.setColor(QPalette::Window, QColor(30, 30, 30));
    panel()->setPalette(palette);
    EXPECT_EQ(panel()->materialColor(), QColor(30, 30, 30)) << "light text needs a dark ground";
}

TEST_F(TemplatePanel, AttachesToTheNoteWindowAndEscapeAnywhereHidesIt)
{
    makeController(*model, *settings);
    controller->hide();  // never shown, never attached: nothing to undo
    EXPECT_FALSE(panel()->isVisible());
    note.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&note));
    showOn(&note);

    EXPECT_EQ(panel()->windowTitle(), QStringLiteral("Templates"));
    EXPECT_TRUE(panel()->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_TRUE(panel()->windowFlags() & Qt::WindowStaysOnTopHint);
    const QRect content = panel()->contentRect().translated(panel()->pos());
    EXPECT_EQ(content.size(), QSize(360, 500));
    EXPECT_EQ(content.center().x(), note.frameGeometry().center().x());
    EXPECT_EQ(content.top(), note.frameGeometry().top() + 40);
    EXPECT_EQ(panel()->windowHandle()->transientParent(), note.windowHandle());
    EXPECT_EQ(controller->eventMonitorCount(), 3);
    EXPECT_DOUBLE_EQ(panel()->windowOpacity(), 1.0);

    // Moving the note window takes the panel along.
    note.move(note.pos() + QPoint(-100, -50));
    ASSERT_TRUE(waitUntil(
        [&] { return panel()->contentRect().translated(panel()->pos()).top() == note.frameGeometry().top() + 40; }));

    // Escape typed in the note window hides the panel and never reaches the note.
    note.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&note));
    note.field->setFocus();
    note.keys.clear();
    press(note.windowHandle(), Qt::Key_Escape);
    EXPECT_TRUE(note.keys.isEmpty());
    EXPECT_FALSE(controller->isShown());
    driver.step(TemplatePanelController::kFadeOutMs / 2);
    EXPECT_TRUE(panel()->isVisible());
    EXPECT_GT(panel()->windowOpacity(), 0.0);
    finishFadeOut();
    EXPECT_FALSE(panel()->isVisible());
    EXPECT_EQ(controller->eventMonitorCount(), 0);
    EXPECT_EQ(controller->anchorWindow(), &note);
    EXPECT_EQ(panel()->windowHandle()->transientParent(), nullptr);
    press(note.windowHandle(), Qt::Key_Escape);
    EXPECT_EQ(note.keys, QList<int>{Qt::Key_Escape});

    // Shown again mid-fade-out, the panel stays: the end of the fade must not hide it.
    showOn(&note);
    controller->toggle(&note);
    driver.step(TemplatePanelController::kFadeOutMs / 3);
    controller->toggle(&note);
    ASSERT_TRUE(QTest::qWaitForWindowActive(panel()));
    driver.step(TemplatePanelController::kFadeOutMs * 2);
    QCoreApplication::processEvents();
    EXPECT_TRUE(panel()->isVisible());
    EXPECT_EQ(controller->eventMonitorCount(), 3);
}

// Another program's window, on a connection of its own, that can take the keyboard.
class ForeignWindow {
public:
    ForeignWindow()
    {
        c_ = xcb_connect(nullptr, nullptr);
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c_)).data;
        id_ = xcb_generate_id(c_);
        xcb_create_window(c_, XCB_COPY_FROM_PARENT, id_, screen->root, 0, 0, 200, 200, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                          screen->root_visual, 0, nullptr);
        xcb_map_window(c_, id_);
        xcb_aux_sync();
    }
    ~ForeignWindow() { xcb_disconnect(c_); }
    void takeFocus()
    {
        xcb_set_input_focus(c_, XCB_INPUT_FOCUS_POINTER_ROOT, id_, XCB_CURRENT_TIME);
        xcb_aux_sync();
    }

private:
    void xcb_aux_sync() { free(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr)); }
    xcb_connection_t* c_ = nullptr;
    xcb_window_t id_ = 0;
};

TEST_F(TemplatePanel, AnotherProgramTakingTheKeyboardHidesItWithoutTakingItBack)
{
    makeController(*model, *settings);
    note.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&note));
    showOn(&note);
    ForeignWindow other;
    other.takeFocus();
    ASSERT_TRUE(waitUntil([&] { return !controller->isShown(); }));
    finishFadeOut();
    EXPECT_FALSE(panel()->isVisible());
    EXPECT_EQ(QGuiApplication::applicationState(), Qt::ApplicationInactive);
    EXPECT_EQ(QGuiApplication::focusWindow(), nullptr);
}

// --- Into the real editor page ---------------------------------------------------------

class TemplateIntoPage : public EditorFixture, public PanelFixture {
protected:
    void SetUp() override
    {
        if (!hasDisplay())
            GTEST_SKIP() << "needs an X server";
        EditorFixture::SetUp();
    }
    void TearDown() override
    {
        tearDownPanel();
        EditorFixture::TearDown();
    }
};

TEST_F(TemplateIntoPage, ReachesTheModelAndThePageOnceWithABlankLineBefore)
{
    const QString path =
        templateFolder(home, QStringLiteral("Templates"), {{"Standup.md", "## Standup\n- [ ] yesterday\n"}});
    model->setTemplateFolder(QUrl::fromLocalFile(path));
    openEditor();
    makeController(*model, *settings);
    const QString piece = QStringLiteral("## Standup\n- [ ] yesterday\n");

    for (const QString& before : {QString(), QStringLiteral("# Monday")}) {
        model->setText(before);
        ASSERT_TRUE(pageTextBecomes(before));
        const QString expected = before.isEmpty() ? piece : before + QStringLiteral("\n\n") + piece;

        showOn(view.get());
        press(panel()->windowHandle(), Qt::Key_Down);
        press(panel()->windowHandle(), Qt::Key_Return);
        EXPECT_EQ(model->text(), expected);
        EXPECT_TRUE(pageTextBecomes(expected)) << pageText().toStdString();
        finishFadeOut();
        EXPECT_FALSE(panel()->isVisible());
        // The page's own report of the edit and the model's push settle on one copy.
        spin(400);
        EXPECT_EQ(pageText(), expected);
        EXPECT_EQ(model->text(), expected);
    }
}

TEST_F(TemplateIntoPage, TypingGoesOnWhereTheTemplatesCursorWas)
{
    const QString path = templateFolder(home, QStringLiteral("Templates"),
                                        {{"Todo.md", "## {{title}}\n- [ ] {{cursor}}\n- [ ] later\n"}});
    model->setTemplateFolder(QUrl::fromLocalFile(path));
    openEditor();
    makeController(*model, *settings);
    model->setText(QStringLiteral("Monday"));
    ASSERT_TRUE(pageTextBecomes(QStringLiteral("Monday")));

    showOn(view.get());
    press(panel()->windowHandle(), Qt::Key_Down);
    press(panel()->windowHandle(), Qt::Key_Return);
    finishFadeOut();
    const QString inserted = QStringLiteral("Monday\n\n## Monday\n- [ ] \n- [ ] later\n");
    ASSERT_TRUE(pageTextBecomes(inserted)) << pageText().toStdString();
    js(QStringLiteral("document.querySelector('.cm-content').focus(); true"));
    QTest::keyClicks(view->webView()->focusProxy(), QStringLiteral("x"));
    EXPECT_TRUE(waitUntil(
        [&] { return model->text() == QStringLiteral("Monday\n\n## Monday\n- [ ] x\n- [ ] later\n"); }, 10000))
        << model->text().toStdString();
}

}  // namespace
}  // namespace flintly::test
