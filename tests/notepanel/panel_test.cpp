#include "document/MarkdownModel.h"
#include "notepanel/FileTitleView.h"
#include "notepanel/FloatingPanelController.h"
#include "notepanel/FloatingPanelWindow.h"
#include "notepanel/PanelPlacement.h"
#include "notepanel/ToolbarItems.h"
#include "platform/SettingsStore.h"
#include "quickopen/SearchPanelController.h"
#include "quickopen/SearchPanelWindow.h"
#include "support/TestEnvironment.h"
#include "widgets/ToolbarButton.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

using namespace flintly;

TEST(PanelPlacement, IsMeasuredFromTheUsableAreaNotTheWholeScreen)
{
    // A 1920 × 1080 screen with a 32-point top bar and a 48-point dock on the left.
    EXPECT_EQ(initialPanelPosition(QRect(48, 32, 1872, 1048), QSize(400, 550)),
              QPoint(48 + 1872 - 424, 32 + 1048 - 574));
    EXPECT_EQ(initialPanelPosition(QRect(0, 0, 1280, 800), QSize(400, 550)), QPoint(856, 226));
}

class Panel : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (QGuiApplication::platformName() != u"xcb")
            GTEST_SKIP() << "needs an X server";
        settings = std::make_unique<SettingsStore>(home.filePath(QStringLiteral("Flintly.conf")));
        QDir().mkpath(home.filePath(QStringLiteral("Notes")));
        settings->setFileUrl(QStringLiteral("flintlySaveFolder"),
                             QUrl::fromLocalFile(home.filePath(QStringLiteral("Notes"))));
        model = std::make_unique<MarkdownModel>(MarkdownModel::Dependencies(settings.get()));
        panel = FloatingPanelController::create(*settings, model.get(),
                                                [](SettingsStore&, MarkdownModel*, QWidget* parent) {
                                                    auto* content = new QWidget(parent);
                                                    content->setObjectName(QStringLiteral("content"));
                                                    return content;
                                                });
    }

    template <typename T> T* item(const QString& id) const { return panel->window()->findChild<T*>(id); }

    QTemporaryDir home;
    std::unique_ptr<SettingsStore> settings;
    std::unique_ptr<MarkdownModel> model;
    std::unique_ptr<FloatingPanelController> panel;
};

TEST_F(Panel, OpensInTheBottomRightCornerAndIsKeptWhenClosed)
{
    panel->showWindow();
    FloatingPanelWindow* w = panel->window();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Flintly"));
    EXPECT_TRUE(w->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(w->size(), QSize(400, 550));
    const QRect available = w->screen()->availableGeometry();
    EXPECT_EQ(w->frameGeometry().right(), available.right() - 24);
    EXPECT_EQ(w->frameGeometry().bottom(), available.bottom() - 24);
    EXPECT_EQ(w->minimumWidth(), 400);
    EXPECT_EQ(w->maximumWidth(), 400);

    QPointer<FloatingPanelWindow> alive(w);
    panel->close();
    test::spin(50);
    EXPECT_TRUE(alive);
    EXPECT_FALSE(panel->isVisible());
    panel->showWindow();
    EXPECT_TRUE(panel->isVisible());
}

TEST_F(Panel, ShowingItAgainAndAgainStatesEachWindowHintOnce)
{
    if (QProcess::execute(QStringLiteral("xprop"), {QStringLiteral("-version")}) != 0)
        GTEST_SKIP() << "needs xprop";
    for (int i = 0; i < 3; ++i) {
        panel->showWindow();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(panel->window()));
        panel->close();
        test::spin(50);
    }
    panel->showWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(panel->window()));

    QProcess xprop;
    xprop.start(QStringLiteral("xprop"),
                {QStringLiteral("-id"), QString::number(panel->window()->winId()), QStringLiteral("_NET_WM_STATE")});
    ASSERT_TRUE(xprop.waitForFinished(5000));
    // "_NET_WM_STATE(ATOM) = _NET_WM_STATE_STICKY, _NET_WM_STATE_ABOVE, ..."
    const QString line = QString::fromUtf8(xprop.readAllStandardOutput()).trimmed();
    const QStringList states = line.section(QStringLiteral(" = "), 1).split(QStringLiteral(", "));
    EXPECT_TRUE(states.contains(QStringLiteral("_NET_WM_STATE_STICKY"))) << line.toStdString();
    EXPECT_TRUE(states.contains(QStringLiteral("_NET_WM_STATE_ABOVE"))) << line.toStdString();
    EXPECT_EQ(states.size(), QSet<QString>(states.begin(), states.end()).size()) << line.toStdString();
}

TEST_F(Panel, ToolbarHasTheTitleThenSearchAndNewNoteAndNothingElse)
{
    EXPECT_EQ(
        ToolbarItems::defaultItemIdentifiers(),
        (QStringList{ToolbarItems::kFlexibleSpace, QStringLiteral("flintly.fileTitle"), ToolbarItems::kFlexibleSpace,
                     QStringLiteral("flintly.openFile"), QStringLiteral("flintly.newFile")}));
    auto* search = item<ToolbarButton>(QStringLiteral("flintly.openFile"));
    auto* newNote = item<ToolbarButton>(QStringLiteral("flintly.newFile"));
    ASSERT_TRUE(search && newNote);
    EXPECT_EQ(search->systemName(), QStringLiteral("magnifyingglass"));
    EXPECT_EQ(search->toolTip(), QStringLiteral("Ctrl+P"));
    EXPECT_EQ(newNote->systemName(), QStringLiteral("pencil.line"));
    EXPECT_EQ(newNote->toolTip(), QStringLiteral("New Note"));
    EXPECT_LT(search->x(), newNote->x());
    EXPECT_EQ(panel->makeItem(QStringLiteral("flintly.unknown"), nullptr), nullptr);

    panel->showWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(panel->window()));
    auto* title = item<FileTitleView>(QStringLiteral("flintly.fileTitle"));
    ASSERT_TRUE(title);
    const int titleCentre = title->mapTo(panel->window(), title->rect().center()).x();
    EXPECT_NEAR(titleCentre, 200, 4) << "the title is centred in the window";
}

TEST_F(Panel, ButtonsActOnTheModelAndSearchToggles)
{
    model->setText(QStringLiteral("something"));
    panel->showWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(panel->window()));
    QTest::mouseClick(item<ToolbarButton>(QStringLiteral("flintly.newFile")), Qt::LeftButton);
    EXPECT_TRUE(model->text().isEmpty());

    auto& search = SearchPanelController::shared();
    search.setShown(false);
    QTest::mouseClick(item<ToolbarButton>(QStringLiteral("flintly.openFile")), Qt::LeftButton);
    EXPECT_TRUE(search.isShown());
    EXPECT_TRUE(test::waitUntil([&] { return search.window()->isVisible(); }));
    QTest::mouseClick(item<ToolbarButton>(QStringLiteral("flintly.openFile")), Qt::LeftButton);
    EXPECT_FALSE(search.isShown());
    EXPECT_TRUE(test::waitUntil([&] { return !search.window()->isVisible(); })) << "the window goes too";
}

TEST_F(Panel, WithTheModelGoneActionsDoNothingAndTheTitleHasNoView)
{
    model.reset();
    EXPECT_EQ(panel->makeItem(QStringLiteral("flintly.fileTitle"), nullptr), nullptr);
    panel->newDocument();
    panel->openDocument();
}

TEST_F(Panel, TheTitleRenamesOnReturnAndDiscardsOnEscape)
{
    model->setText(QStringLiteral("Draft"));
    model->save();
    panel->showWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(panel->window()));
    auto* title = item<FileTitleView>(QStringLiteral("flintly.fileTitle"));
    ASSERT_TRUE(title);
    EXPECT_EQ(title->shownName(), QStringLiteral("Draft"));

    QTest::mouseClick(title, Qt::LeftButton);
    ASSERT_TRUE(title->isEditing());
    EXPECT_EQ(title->draft(), QStringLiteral("Draft"));
    QTest::keyClicks(title->field(), QStringLiteral("Thrown away"));
    QTest::keyClick(title->field(), Qt::Key_Escape);
    EXPECT_FALSE(title->isEditing());
    EXPECT_EQ(model->currentFileName(), QStringLiteral("Draft"));

    QTest::mouseClick(title, Qt::LeftButton);
    title->field()->setText(QStringLiteral(" \t  "));
    QTest::keyClick(title->field(), Qt::Key_Return);
    EXPECT_FALSE(title->isEditing());
    EXPECT_EQ(model->currentFileName(), QStringLiteral("Draft"));

    QTest::mouseClick(title, Qt::LeftButton);
    title->field()->setText(QStringLiteral("  Plans  "));
    QTest::keyClick(title->field(), Qt::Key_Return);
    EXPECT_EQ(model->currentFileName(), QStringLiteral("Plans"));
    EXPECT_EQ(title->shownName(), QStringLiteral("Plans"));
    EXPECT_TRUE(QFile::exists(home.filePath(QStringLiteral("Notes/Plans.md"))));
}

TEST_F(Panel, TheTitleIsATabStopThatRenamesFromTheKeyboardAndKeepsIt)
{
    model->setText(QStringLiteral("Draft"));
    model->save();
    panel->showWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(panel->window()));
    auto* title = item<FileTitleView>(QStringLiteral("flintly.fileTitle"));
    title->setFocus(Qt::TabFocusReason);
    QTest::keyClick(title, Qt::Key_Return);
    ASSERT_TRUE(title->isEditing());
    title->field()->setText(QStringLiteral("Renamed"));
    QTest::keyClick(title->field(), Qt::Key_Return);
    EXPECT_FALSE(title->isEditing()) << "the field's Return does not start editing again";
    EXPECT_EQ(model->currentFileName(), QStringLiteral("Renamed"));
    EXPECT_TRUE(title->hasFocus()) << "the keyboard is back where it was";
}

TEST_F(Panel, TheTitleMarksANoteThatCannotBeSaved)
{
    panel->showWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(panel->window()));
    auto* title = item<FileTitleView>(QStringLiteral("flintly.fileTitle"));
    ASSERT_TRUE(title);
    EXPECT_FALSE(title->unsavedMarker()->isVisible());
    // Notes "folder" that is a file: nothing can be written there.
    const QString blocked = home.filePath(QStringLiteral("Blocked"));
    QFile file(blocked);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    model->setSaveFolder(QUrl::fromLocalFile(blocked));
    model->setText(QStringLiteral("typed"));
    EXPECT_THROW(model->save(), std::exception);
    EXPECT_TRUE(title->unsavedMarker()->isVisible());
    EXPECT_EQ(title->shownName(), QStringLiteral("typed"));
    model->setSaveFolder(QUrl::fromLocalFile(home.filePath(QStringLiteral("Notes"))));
    model->save();
    EXPECT_FALSE(title->unsavedMarker()->isVisible());
}
