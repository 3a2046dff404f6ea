// What a screen reader and a keyboard user meet in each window: every control it
// reaches has a name, and every control can be reached with Tab.
#include "app/CombinedPrefs.h"
#include "app/OnboardingWindow.h"
#include "document/MarkdownModel.h"
#include "history/NoteHistory.h"
#include "historyview/HistoryWindow.h"
#include "notepanel/FloatingPanelController.h"
#include "notepanel/FloatingPanelWindow.h"
#include "platform/SettingsStore.h"
#include "quickopen/SearchPanelController.h"
#include "quickopen/SearchPanelWindow.h"
#include "shortcuts/GlobalShortcuts.h"
#include "support/FakeDialogs.h"
#include "support/TestEnvironment.h"
#include "templatepanel/TemplatePanelController.h"
#include "templatepanel/TemplatePanelWindow.h"
#include "templates/TemplatePanelViewModel.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

using namespace flintly;
using namespace flintly::test;

namespace {

bool isControl(QAccessible::Role role)
{
    switch (role) {
    case QAccessible::PushButton:
    case QAccessible::CheckBox:
    case QAccessible::RadioButton:
    case QAccessible::ComboBox:
    case QAccessible::EditableText:
    case QAccessible::List:
    case QAccessible::Tree:
    case QAccessible::SpinBox:
    case QAccessible::Link:
    case QAccessible::ButtonMenu:
    case QAccessible::ButtonDropDown: return true;
    default: return false;
    }
}

// The controls on screen (in the accessibility tree) that have no name or no tab stop,
// each with the path to it.
void collectFaults(QAccessibleInterface* node, const QString& path, QStringList& faults)
{
    if (!node || node->state().invisible)
        return;
    const QString here = path + QLatin1Char('/') + node->object()->metaObject()->className()
        + (node->object()->objectName().isEmpty() ? QString() : QLatin1Char('#') + node->object()->objectName());
    if (isControl(node->role()) && !node->state().disabled) {
        if (node->text(QAccessible::Name).trimmed().isEmpty())
            faults << here + QStringLiteral(": no name");
        auto* widget = qobject_cast<QWidget*>(node->object());
        if (widget && !(widget->focusPolicy() & Qt::TabFocus))
            faults << here + QStringLiteral(": no tab stop");
    }
    // List rows are the list's own: the list is the tab stop, its rows are named by
    // their text.
    if (node->role() == QAccessible::List || node->role() == QAccessible::Tree)
        return;
    for (int i = 0; i < node->childCount(); ++i)
        collectFaults(node->child(i), here, faults);
}

// Tab, round the window once: every stop must be named, so a stop that says nothing
// (a scroll area around the real control) is a fault too.
void collectTabFaults(QWidget* window, QStringList& faults)
{
    window->activateWindow();
    if (!waitUntil([window] { return window->isActiveWindow(); })) {
        faults << QStringLiteral("window never became active");
        return;
    }
    QWidget* first = nullptr;
    for (int i = 0; i < 40; ++i) {
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : window, Qt::Key_Tab);
        QWidget* stop = QApplication::focusWidget();
        if (!stop || stop == first)
            return;
        if (!first)
            first = stop;
        QAccessibleInterface* node = QAccessible::queryAccessibleInterface(stop);
        if (!node || node->text(QAccessible::Name).trimmed().isEmpty())
            faults << QStringLiteral("Tab stops at a %1 without a name").arg(stop->metaObject()->className());
    }
    faults << QStringLiteral("Tab never came round");
}

std::string faultsIn(QWidget* window)
{
    QStringList faults;
    collectFaults(QAccessible::queryAccessibleInterface(window), QString(), faults);
    collectTabFaults(window, faults);
    return faults.join(QLatin1Char('\n')).toStdString();
}

class Accessibility : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (QGuiApplication::platformName() != u"xcb")
            GTEST_SKIP() << "needs an X server";
        settings = std::make_unique<SettingsStore>(home.filePath(QStringLiteral("Flintly.conf")));
        QDir().mkpath(home.filePath(QStringLiteral("Notes")));
        settings->setFileUrl(QStringLiteral("flintlySaveFolder"),
                             QUrl::fromLocalFile(home.filePath(QStringLiteral("Notes"))));
        model = std::make_unique<MarkdownModel>(MarkdownModel::Dependencies(settings.get(), &chooser));
    }

    // Shown, since the tree leaves out what is not on screen.
    std::string faultsOnScreen(QWidget* window)
    {
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window));
        return faultsIn(window);
    }

    QTemporaryDir home;
    FakeFileChooser chooser;
    std::unique_ptr<SettingsStore> settings;
    std::unique_ptr<MarkdownModel> model;
};

TEST_F(Accessibility, EveryControlOfEveryWindowHasANameAndATabStop)
{
    auto note = FloatingPanelController::create(
        *settings, model.get(), [](SettingsStore&, MarkdownModel*, QWidget* p) { return new QWidget(p); });
    EXPECT_EQ(faultsOnScreen(note->window()->toolbar()->window()), "") << "note panel toolbar";

    SearchPanelController search;
    search.configure(model.get(), *settings);
    EXPECT_EQ(faultsOnScreen(search.window()), "") << "search panel";

    TemplatePanelController templates({model.get(), settings.get(), &chooser, {}});
    EXPECT_EQ(faultsOnScreen(templates.window()), "") << "template panel, empty";
    QDir().mkpath(home.filePath(QStringLiteral("Templates")));
    QFile daily(home.filePath(QStringLiteral("Templates/Daily.md")));
    ASSERT_TRUE(daily.open(QIODevice::WriteOnly));
    daily.close();
    templates.vm().selectFolder(QUrl::fromLocalFile(home.filePath(QStringLiteral("Templates"))));
    spin(20);
    EXPECT_EQ(faultsIn(templates.window()), "") << "template panel with a folder";

    shortcuts::GlobalShortcuts shortcuts(*settings);
    ScriptedAlertPresenter alerts;
    RecordingUrlOpener opener;
    CombinedPrefs prefs({settings.get(), model.get(), {&shortcuts, &alerts, &opener}, &opener});
    EXPECT_EQ(faultsOnScreen(&prefs), "") << "settings window";

    history::HistoryStore::Options kept;
    kept.folder = home.filePath(QStringLiteral("History"));
    history::NoteHistory versions(kept);
    HistoryWindow historyWindow({&versions, model.get(), home.filePath(QStringLiteral("Recovery"))});
    EXPECT_EQ(faultsOnScreen(&historyWindow), "") << "history window";

    OnboardingWindow onboarding([] {});
    EXPECT_EQ(faultsOnScreen(&onboarding), "") << "onboarding, welcome";
    onboarding.setStep(OnboardingWindow::Step::chooseFolder);
    spin(20);
    EXPECT_EQ(faultsIn(&onboarding), "") << "onboarding, folder";
}

}  // namespace
