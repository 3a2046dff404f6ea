#include "document/MarkdownModel.h"
#include "platform/Bookmark.h"
#include "platform/SettingsStore.h"
#include "support/FakeDialogs.h"
#include "support/LogCapture.h"
#include "support/ManualTime.h"
#include "support/RecordingUsageTracker.h"
#include "templates/TemplateLibrary.h"
#include "templates/TemplatePanelViewModel.h"
#include "templates/TemplateTestSupport.h"
#include "templates/TemplateVariables.h"

#include <QSignalSpy>
#include <QTemporaryDir>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
inline void PrintTo(const QStringList& l, std::ostream* os)
{
    *os << '[' << l.join(QStringLiteral(" | ")).toStdString() << ']';
}
QT_END_NAMESPACE

using namespace flintly;
using namespace flintly::test;

namespace {

class TemplateLibraryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(home.isValid());
        settings = std::make_unique<SettingsStore>(home.filePath(QStringLiteral("Flintly.conf")));
        MarkdownModel::Dependencies deps;
        deps.settings = settings.get();
        deps.tracker = &tracker;
        model = std::make_unique<MarkdownModel>(std::move(deps));
        model->setEditorBridge(&page);
    }

    QString folder(const QString& name, const QStringList& files)
    {
        const QString path = home.filePath(name);
        QDir().mkpath(path);
        for (const QString& f : files)
            writeFile(QDir(path).filePath(f), "# " + f.toUtf8() + "\n");
        return path;
    }

    std::unique_ptr<TemplatePanelViewModel> makeViewModel(const QString& templateFolder = {})
    {
        if (!templateFolder.isEmpty())
            model->setTemplateFolder(QUrl::fromLocalFile(templateFolder));
        TemplatePanelViewModel::Dependencies deps;
        deps.model = model.get();
        deps.settings = settings.get();
        deps.fileChooser = &chooser;
        deps.schedule = time.schedule();
        deps.time = &clock;
        deps.clipboardText = [this] { return clipboard; };
        deps.urlOpener = &opener;
        deps.defaultFolder = home.filePath(QStringLiteral("Default"));
        return std::make_unique<TemplatePanelViewModel>(std::move(deps));
    }

    QStringList shown(const TemplatePanelViewModel& vm) const { return fileNames(vm.results()); }

    QTemporaryDir home;
    std::unique_ptr<SettingsStore> settings;
    RecordingUsageTracker tracker;
    RecordingEditorBridge page;
    FakeFileChooser chooser;
    ManualScheduler time;
    ManualTime clock{QDateTime(QDate(2026, 5, 31), QTime(14, 5))};
    QString clipboard;
    RecordingUrlOpener opener;
    std::unique_ptr<MarkdownModel> model;
    LogCapture logs;
};

struct FilterCase {
    const char* name;
    QString query;
    QStringList expected;
};

class TemplateFilter : public TemplateLibraryTest, public ::testing::WithParamInterface<FilterCase> {};

TEST_P(TemplateFilter, MatchesFileNamesWithTheirExtension)
{
    const QString path = folder(QStringLiteral("Templates"),
                                {QStringLiteral("Meeting.md"), QStringLiteral("memo.md"), QStringLiteral("Team.md"),
                                 QStringLiteral("md-tips.md")});
    const auto all = TemplateLibrary::listTemplates(QUrl::fromLocalFile(path));
    EXPECT_EQ(fileNames(TemplateLibrary::filterTemplates(all, GetParam().query)), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Queries, TemplateFilter,
    ::testing::Values(FilterCase{"empty-lists-all", QString(), {"Meeting.md", "Team.md", "md-tips.md", "memo.md"}},
                      FilterCase{"short-is-a-prefix", QStringLiteral("me"), {"Meeting.md", "memo.md"}},
                      FilterCase{"short-prefix-ignores-case", QStringLiteral("ME"), {"Meeting.md", "memo.md"}},
                      FilterCase{"two-letters-never-match-inside", QStringLiteral("md"), {"md-tips.md"}},
                      FilterCase{"three-letters-match-anywhere", QStringLiteral("eti"), {"Meeting.md"}},
                      FilterCase{"long-matches-the-extension-too", QStringLiteral("MO.M"), {"memo.md"}},
                      FilterCase{"no-match", QStringLiteral("xyz"), {}}),
    [](const ::testing::TestParamInfo<FilterCase>& info) {
        std::string n = info.param.name;
        std::replace(n.begin(), n.end(), '-', '_');
        return n;
    });

TEST_F(TemplateLibraryTest, ListsOnlyTheFolderOwnVisibleMarkdownFilesInCodePointOrder)
{
    const QString path = folder(QStringLiteral("Templates"),
                                {QStringLiteral("b.md"), QStringLiteral("A.md"), QStringLiteral("a.md"),
                                 QStringLiteral("Upper.MD"), QStringLiteral(".hidden.md"), QStringLiteral("notes.txt"),
                                 QStringLiteral("Nested/inner.md"), QStringLiteral("Folder.md/inside.md"),
                                 // U+FF5E against U+1F4DD: UTF-16 order would put the emoji
                                 // (a surrogate pair, 0xD83D...) first.
                                 QStringLiteral("\uFF5E.md"), QStringLiteral("\U0001F4DD.md")});
    const auto vm = makeViewModel(path);
    EXPECT_EQ(shown(*vm),
              (QStringList{"A.md", "Upper.MD", "a.md", "b.md", QStringLiteral("\uFF5E.md"),
                           QStringLiteral("\U0001F4DD.md")}));
}

TEST_F(TemplateLibraryTest, TypingFiltersOnceAfterAPauseOfTwoHundredMilliseconds)
{
    const QString path =
        folder(QStringLiteral("Templates"),
               {QStringLiteral("xylophone.md"), QStringLiteral("xenon.md"), QStringLiteral("other.md")});
    const auto vm = makeViewModel(path);
    QSignalSpy filtered(vm.get(), &TemplatePanelViewModel::resultsChanged);

    vm->setQuery(QStringLiteral("x"));
    time.advance(150);
    vm->setQuery(QStringLiteral("xy"));
    time.advance(199);
    EXPECT_EQ(filtered.count(), 0);
    EXPECT_EQ(vm->query(), QStringLiteral("xy"));
    time.advance(1);
    ASSERT_EQ(filtered.count(), 1);
    EXPECT_EQ(shown(*vm), QStringList{"xylophone.md"});
    EXPECT_EQ(time.pendingCount(), 0);
}

TEST_F(TemplateLibraryTest, AnotherFolderIsListedAfreshNotFromTheCache)
{
    const QString work = folder(QStringLiteral("Work"), {QStringLiteral("Standup.md")});
    const QString home2 = folder(QStringLiteral("Home"), {QStringLiteral("Groceries.md")});
    const auto vm = makeViewModel(work);
    EXPECT_EQ(shown(*vm), QStringList{"Standup.md"});

    vm->selectFolder(QUrl::fromLocalFile(home2));
    EXPECT_EQ(shown(*vm), QStringList{"Groceries.md"});

    // The same folder, changed on disk, is listed as it is now.
    writeFile(QDir(home2).filePath(QStringLiteral("Chores.md")), "x");
    vm->reload();
    EXPECT_EQ(shown(*vm), (QStringList{"Chores.md", "Groceries.md"}));
}

TEST_F(TemplateLibraryTest, InsertsIntoEmptyAndNonEmptyNotesOnceWithABlankLineBetween)
{
    const QString path = folder(QStringLiteral("Templates"), {});
    writeFile(QDir(path).filePath(QStringLiteral("Todo.md")), "- [ ] first\n- [ ] second\n");
    const auto vm = makeViewModel(path);
    QSignalSpy applied(vm.get(), &TemplatePanelViewModel::templateApplied);
    const QUrl todo = vm->results().value(0);

    ASSERT_TRUE(vm->applyTemplate(todo));
    EXPECT_EQ(model->text(), QStringLiteral("- [ ] first\n- [ ] second\n"));
    EXPECT_EQ(page.pieces, QStringList{"- [ ] first\n- [ ] second\n"});

    model->setText(QStringLiteral("# Plan"));
    page.pieces.clear();
    ASSERT_TRUE(vm->applyTemplate(todo));
    EXPECT_EQ(model->text(), QStringLiteral("# Plan\n\n- [ ] first\n- [ ] second\n"));
    EXPECT_EQ(page.pieces, QStringList{"- [ ] first\n- [ ] second\n"});
    EXPECT_EQ(applied.count(), 2);
}

TEST_F(TemplateLibraryTest, ATemplateThatCannotBeReadAsUtf8IsNotInserted)
{
    const QString path = folder(QStringLiteral("Templates"), {QStringLiteral("Gone.md")});
    writeFile(QDir(path).filePath(QStringLiteral("Latin1.md")), "caf\xe9 cr\xe8me\n");
    const auto vm = makeViewModel(path);
    ASSERT_EQ(shown(*vm), (QStringList{"Gone.md", "Latin1.md"}));
    QFile::remove(QDir(path).filePath(QStringLiteral("Gone.md")));
    model->setText(QStringLiteral("Keep me"));
    QSignalSpy applied(vm.get(), &TemplatePanelViewModel::templateApplied);

    for (const QUrl& url : vm->results())
        EXPECT_FALSE(vm->applyTemplate(url)) << url.toString().toStdString();

    EXPECT_EQ(model->text(), QStringLiteral("Keep me"));
    EXPECT_TRUE(page.pieces.isEmpty());
    EXPECT_EQ(applied.count(), 0);
    EXPECT_TRUE(logs.containsPrefix(QStringLiteral("❌ Failed to read template: ") + QDir(path).filePath("Latin1.md")));
    EXPECT_TRUE(logs.containsPrefix(QStringLiteral("❌ Failed to read template: ") + QDir(path).filePath("Gone.md")));
}

TEST_F(TemplateLibraryTest, PinnedFoldersPersistButClearingThemDoesNot)
{
    const QString first = folder(QStringLiteral("First"), {QStringLiteral("One.md")});
    const QString second = folder(QStringLiteral("Second"), {QStringLiteral("Two.md")});
    auto vm = makeViewModel(first);

    chooser.answers = {second};
    vm->chooseAndPinFolder();
    ASSERT_EQ(chooser.folderRequests.size(), 1);
    EXPECT_EQ(chooser.folderRequests[0].prompt, QStringLiteral("Choose"));
    EXPECT_EQ(chooser.folderRequests[0].message,
              QStringLiteral("Pick the folder that stores your Markdown templates."));
    EXPECT_EQ(chooser.folderRequests[0].startDirectory, first);
    EXPECT_EQ(vm->folder(), QUrl::fromLocalFile(second));
    EXPECT_EQ(shown(*vm), QStringList{"Two.md"});
    EXPECT_EQ(vm->pinned(), QList<QUrl>{QUrl::fromLocalFile(second)});

    // Cancelling the chooser pins nothing, not even the folder being shown.
    vm->selectFolder(QUrl::fromLocalFile(first));
    chooser.answers = {QString()};
    vm->chooseAndPinFolder();
    EXPECT_EQ(vm->pinned(), QList<QUrl>{QUrl::fromLocalFile(second)});
    EXPECT_FALSE(vm->isChoosingFolder());

    vm->clearFolders();
    EXPECT_TRUE(vm->pinned().isEmpty());
    EXPECT_TRUE(vm->folder().isEmpty());
    EXPECT_TRUE(vm->results().isEmpty());

    // The stored pins are untouched and return with the next panel, except the ones
    // whose folder is gone.
    const auto next = makeViewModel();
    EXPECT_EQ(next->pinned(), QList<QUrl>{QUrl::fromLocalFile(second)});
    QDir(second).removeRecursively();
    EXPECT_TRUE(makeViewModel()->pinned().isEmpty());
}

struct VariableCase {
    const char* name;
    QString text;
    QString expected;
    int caret;  // -1: none
};

class TemplateVariables : public ::testing::TestWithParam<VariableCase> {};

TEST_P(TemplateVariables, AreFilledInOnceAndTheRestIsLeftAsWritten)
{
    const TemplateContext context{QDateTime(QDate(2026, 5, 31), QTime(14, 5)), QStringLiteral("Standup"),
                                  QStringLiteral("{{cursor}} {{date}}")};
    const ExpandedTemplate out = expandTemplate(GetParam().text, context);
    EXPECT_EQ(out.text, GetParam().expected);
    EXPECT_EQ(out.caret.value_or(-1), GetParam().caret);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, TemplateVariables,
    ::testing::Values(VariableCase{"date", "{{date}}", "2026-05-31", -1}, VariableCase{"time", "{{time}}", "14:05", -1},
                      VariableCase{"datetime", "{{datetime}}", "2026-05-31 14:05", -1},
                      VariableCase{"title", "# {{title}}", "# Standup", -1},
                      VariableCase{"clipboard_is_pasted_as_it_is", "> {{clipboard}}", "> {{cursor}} {{date}}", -1},
                      VariableCase{"spaces_inside_the_braces", "{{ date }}", "2026-05-31", -1},
                      VariableCase{"cursor_is_removed_and_marks_the_caret", "a{{cursor}}b", "ab", 1},
                      VariableCase{"caret_counts_what_came_before_filled_in", "{{title}}: {{cursor}}", "Standup: ", 9},
                      VariableCase{"only_the_first_cursor_places_the_caret", "{{cursor}}x{{cursor}}", "x", 0},
                      VariableCase{"unknown_and_other_cases_stay", "{{weather}} {{Date}}", "{{weather}} {{Date}}", -1},
                      VariableCase{"unclosed_stays", "{{date", "{{date", -1},
                      VariableCase{"extra_braces_around_a_variable", "{{{date}}}", "{2026-05-31}", -1},
                      VariableCase{"unknown_before_a_variable", "{{x {{time}}", "{{x 14:05", -1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(TemplateLibraryTest, InsertingFillsInTheVariablesAndPutsTheCaretAtTheCursor)
{
    const QString path = folder(QStringLiteral("Templates"), {});
    writeFile(QDir(path).filePath(QStringLiteral("Standup.md")), "## {{title}}, {{date}}\n- {{cursor}}\n{{clipboard}}");
    const auto vm = makeViewModel(path);
    model->setText(QStringLiteral("Standup"));
    clipboard = QStringLiteral("pasted");

    ASSERT_TRUE(vm->applyTemplate(vm->results().value(0)));
    const QString piece = QStringLiteral("## Standup, 2026-05-31\n- \npasted");
    EXPECT_EQ(model->text(), QStringLiteral("Standup\n\n") + piece);
    EXPECT_EQ(page.pieces, QStringList{piece});
    ASSERT_EQ(page.carets.size(), 1);
    EXPECT_EQ(page.carets[0], piece.indexOf(QStringLiteral("- ")) + 2);
}

TEST_F(TemplateLibraryTest, TheEmptyPanelsOffersFillTheDefaultFolderAndNeverReplaceAFile)
{
    const QString defaults = home.filePath(QStringLiteral("Default"));
    const auto vm = makeViewModel();
    EXPECT_TRUE(vm->hasNoTemplates());
    EXPECT_EQ(vm->templatesHome(), defaults);
    EXPECT_FALSE(QFileInfo::exists(defaults)) << "nothing is written before the user asks";

    writeFile(QDir(defaults).filePath(QStringLiteral("Checklist.md")), "my own list");
    vm->addStarterTemplates();
    EXPECT_EQ(vm->folder(), QUrl::fromLocalFile(defaults));
    EXPECT_EQ(model->templateFolder(), QUrl::fromLocalFile(defaults)) << "and it is the template folder from now on";
    EXPECT_EQ(shown(*vm), (QStringList{"Checklist.md", "Daily Note.md", "Meeting Notes.md"}));
    EXPECT_EQ(readFile(QDir(defaults).filePath(QStringLiteral("Checklist.md"))), QByteArray("my own list"));
    writeFile(QDir(defaults).filePath(QStringLiteral("Daily Note.md")), "changed by the user");
    vm->addStarterTemplates();
    EXPECT_EQ(readFile(QDir(defaults).filePath(QStringLiteral("Daily Note.md"))), QByteArray("changed by the user"));
    EXPECT_TRUE(logs.contains(QStringLiteral("📝 Starter templates kept as they were: Daily Note.md, Meeting Notes.md, "
                                             "Checklist.md")));

    QSignalSpy opened(vm.get(), &TemplatePanelViewModel::templateOpened);
    vm->newTemplate();
    vm->newTemplate();
    EXPECT_EQ(model->filePath(), QDir(defaults).filePath(QStringLiteral("New Template-1.md")));
    EXPECT_TRUE(QFileInfo::exists(QDir(defaults).filePath(QStringLiteral("New Template.md"))));
    EXPECT_EQ(opened.count(), 2);
    vm->openTemplatesFolder();
    EXPECT_EQ(opener.opened, QList<QUrl>{QUrl::fromLocalFile(defaults)});
}

TEST_F(TemplateLibraryTest, AFolderChosenWithTheFolderButtonIsRememberedAcrossRestarts)
{
    const QString chosen = folder(QStringLiteral("Mine"), {QStringLiteral("Weekly.md")});
    chooser.answers = {chosen};
    makeViewModel()->chooseFolder();

    // The next run: settings read afresh from disk, a new note model and panel.
    settings = std::make_unique<SettingsStore>(home.filePath(QStringLiteral("Flintly.conf")));
    model = std::make_unique<MarkdownModel>(MarkdownModel::Dependencies(settings.get()));
    const auto next = makeViewModel();
    EXPECT_EQ(next->folder(), QUrl::fromLocalFile(chosen));
    EXPECT_EQ(shown(*next), QStringList{"Weekly.md"});
}

}  // namespace
