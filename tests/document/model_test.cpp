#include "ModelFixture.h"

#include "document/EditorBridge.h"
#include "platform/Bookmark.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace flintly;
using namespace flintly::test;

namespace {
struct RecordingBridge : EditorBridge {
    QStringList pieces, replacements;
    void appendBlock(const QString& markdown, std::optional<qsizetype>) override { pieces.append(markdown); }
    void replaceAll(const QString& text) override { replacements.append(text); }
};
}  // namespace

using ModelCreation = ModelFixture;

TEST_F(ModelCreation, WithoutAStoredFolderHasNoneAndWritesNoFolderKeys)
{
    LogCapture logs;
    auto& m = makeModel(false);
    EXPECT_TRUE(m.saveFolder().isEmpty());
    EXPECT_FALSE(settings->contains(QStringLiteral("SavedFolderBookmark")));
    EXPECT_FALSE(settings->contains(QStringLiteral("flintlySaveFolder")));
    EXPECT_EQ(m.currentFileName(), QStringLiteral("Untitled"));
    EXPECT_TRUE(m.isScratch());
    EXPECT_TRUE(logs.contains(QStringLiteral("🪵 MarkdownModel init → ") + m.debugIDString()));
    EXPECT_EQ(m.debugIDString(), m.debugIDString().toUpper());
}

TEST_F(ModelCreation, RestoresTheFolderFromItsUrlAndStoresABookmark)
{
    auto& m = makeModel(true);
    EXPECT_EQ(m.saveFolder().toLocalFile(), notes);
    const auto bytes = settings->bytesValue(QStringLiteral("SavedFolderBookmark"));
    ASSERT_TRUE(bytes);
    EXPECT_EQ(Bookmark::resolve(*bytes)->path, notes);
}

TEST_F(ModelCreation, PrefersTheBookmarkAndDropsATemplateBookmarkThatNoLongerResolves)
{
    const QString other = home.filePath(QStringLiteral("Other"));
    const QString templates = home.filePath(QStringLiteral("Templates"));
    QDir().mkpath(other);
    QDir().mkpath(templates);
    settings->setValue(QStringLiteral("SavedFolderBookmark"), *Bookmark::create(other));
    settings->setValue(QStringLiteral("TemplateFolderBookmark"), *Bookmark::create(templates));
    QDir(templates).removeRecursively();
    LogCapture logs;
    auto& m = makeModel(true);  // also stores flintlySaveFolder = notes, which loses to the bookmark
    EXPECT_EQ(m.saveFolder().toLocalFile(), other);
    EXPECT_TRUE(m.templateFolder().isEmpty());
    EXPECT_FALSE(settings->contains(QStringLiteral("TemplateFolderBookmark")));
    EXPECT_TRUE(logs.containsPrefix(QStringLiteral("❌ Failed to load template bookmark: ")));
}

using OpeningNotes = ModelFixture;

TEST_F(OpeningNotes, ShowsTheFirstTwentyCharactersOfTheFileNameAndWatchesIt)
{
    const QString path = note(QStringLiteral("A rather long file name.md"));
    writeBytes(path, "# hello\n");
    auto& m = makeModel();
    m.open(QUrl::fromLocalFile(path));
    EXPECT_EQ(m.text(), QStringLiteral("# hello\n"));
    EXPECT_EQ(m.currentFileName(), QStringLiteral("A rather long file n"));
    EXPECT_FALSE(m.isScratch());
    EXPECT_EQ(m.filePath(), path);
    EXPECT_TRUE(m.isFileMonitoring());
}

TEST_F(OpeningNotes, TracksNotesOutsideTheFolderByPlainPathPrefix)
{
    const QString outside = home.filePath(QStringLiteral("Elsewhere/x.md"));
    const QString sub = note(QStringLiteral("sub/y.md"));
    const QString sibling = notes + QStringLiteral("Archive/z.md");  // "…/NotesArchive" begins with "…/Notes"
    for (const QString& p : {outside, sub, sibling}) {
        QDir().mkpath(QFileInfo(p).absolutePath());
        writeBytes(p, "text");
    }
    auto& m = makeModel();
    m.open(QUrl::fromLocalFile(outside));
    m.open(QUrl::fromLocalFile(sub));
    m.open(QUrl::fromLocalFile(sibling));
    const auto events = tracker.named("open_external_note");
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(toString(events[0].properties.at("noteId")), "x.md");
    EXPECT_EQ(toString(events[0].properties.at("folderPath")),
              home.filePath(QStringLiteral("Elsewhere")).toStdString());
}

TEST_F(OpeningNotes, WithoutANotesFolderNothingIsTracked)
{
    const QString outside = home.filePath(QStringLiteral("x.md"));
    writeBytes(outside, "text");
    auto& m = makeModel(false);
    m.open(QUrl::fromLocalFile(outside));
    EXPECT_TRUE(tracker.named("open_external_note").empty());
}

TEST_F(OpeningNotes, AFailedLoadLeavesTheCurrentNoteWhole)
{
    const QString good = note(QStringLiteral("Good.md"));
    const QString latin1 = note(QStringLiteral("Latin1.md"));
    writeBytes(good, "my note");
    writeBytes(latin1, "caf\xe9");
    auto& m = makeModel();
    m.open(QUrl::fromLocalFile(good));
    settle();
    for (const QString& bad : {latin1, note(QStringLiteral("Missing.md"))}) {
        EXPECT_THROW(m.loadNote(QUrl::fromLocalFile(bad)), std::exception);
        m.open(QUrl::fromLocalFile(bad));
        EXPECT_EQ(m.text(), QStringLiteral("my note"));
        EXPECT_EQ(m.filePath(), good);
        EXPECT_EQ(m.currentFileName(), QStringLiteral("Good.md"));
        EXPECT_TRUE(m.isFileMonitoring()) << "the current note must still be watched";
    }
    settle();
    EXPECT_EQ(readBytes(latin1), QByteArray("caf\xe9")) << "the unreadable file must never be overwritten";
}

TEST_F(OpeningNotes, WhatCannotBeANoteIsRefusedWithItsReasonAndNeverWaitedOn)
{
    const QString good = note(QStringLiteral("Good.md"));
    writeBytes(good, "my note");
    // A pipe would block a reader until someone writes to it; a name that is not UTF-8
    // reaches us with replacement characters, so the name we hold leads nowhere.
    const QString pipe = home.filePath(QStringLiteral("pipe.md"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    const QByteArray rawName = QFile::encodeName(notes) + "/caf\xe9.md";
    const int fd = ::open(rawName.constData(), O_WRONLY | O_CREAT, 0600);
    ASSERT_GE(fd, 0);
    ::close(fd);
    const QString lossy = QFile::decodeName(rawName);

    auto& m = makeModel();
    m.open(QUrl::fromLocalFile(good));
    QStringList notices;
    QObject::connect(&m, &MarkdownModel::notice, [&](const QString& n) { notices.append(n); });
    const std::vector<std::pair<QString, QString>> refused = {
        {pipe, QStringLiteral("it is not a regular file")},
        {notes, QStringLiteral("it is a folder, not a file")},
        {lossy, QStringLiteral("its name is not valid UTF-8; rename the file to open it")},
        {note(QStringLiteral("Missing.md")), QStringLiteral("there is no such file")},
    };
    for (const auto& [path, reason] : refused) {
        QString why;
        EXPECT_FALSE(m.open(QUrl::fromLocalFile(path), &why)) << path.toStdString();
        EXPECT_EQ(why, reason);
        EXPECT_EQ(notices.last(), QStringLiteral("Could not open “%1”: %2.").arg(QFileInfo(path).fileName(), reason))
            << "the user hears it, not only the log";
        EXPECT_EQ(m.filePath(), good);
    }
}

TEST_F(OpeningNotes, AFileFromElsewhereIsEditedWhereItIsUnderItsOwnName)
{
    const QString outside = home.filePath(QStringLiteral("Elsewhere/todo.md"));
    QDir().mkpath(QFileInfo(outside).absolutePath());
    writeBytes(outside, "# todo\n");
    auto& m = makeModel();
    ASSERT_TRUE(m.open(QUrl::fromLocalFile(outside)));
    m.setText(QStringLiteral("# A new first line\nmore\n"));
    settle();
    EXPECT_EQ(readBytes(outside), QByteArray("# A new first line\nmore\n"));
    EXPECT_EQ(m.filePath(), outside) << "named after its first line only when Flintly made it";
    EXPECT_TRUE(filesIn(notes).isEmpty()) << "nothing lands in the notes folder";
    EXPECT_EQ(m.currentFileName(), QStringLiteral("todo.md"));
}

TEST_F(OpeningNotes, SwitchingNotesWritesTheLastHalfSecondOfTyping)
{
    const QString other = note(QStringLiteral("Other.md"));
    writeBytes(other, "other");
    auto& m = makeModel();
    m.setText(QStringLiteral("Draft\nfirst words"));
    settle();
    const QString draft = m.filePath();
    m.setText(QStringLiteral("Draft\nfirst words and the last ones"));
    m.open(QUrl::fromLocalFile(other));  // well within the half second
    EXPECT_EQ(readBytes(draft), QByteArray("Draft\nfirst words and the last ones"));

    m.setText(QStringLiteral("other, edited"));
    m.newNote();
    EXPECT_EQ(readBytes(other), QByteArray("other, edited"));
}

TEST_F(OpeningNotes, NewNoteStartsAnEmptyScratchNoteAndTracksTheModelsIdentity)
{
    auto& m = makeModel();
    m.setText(QStringLiteral("x"));
    settle();
    m.newNote();
    m.newNote();
    EXPECT_TRUE(m.text().isEmpty());
    EXPECT_TRUE(m.url().isEmpty());
    EXPECT_TRUE(m.isScratch());
    EXPECT_EQ(m.currentFileName(), QStringLiteral("Untitled"));
    const auto events = tracker.named("create_note");
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(toString(events[0].properties.at("noteId")), m.debugIDString().toStdString());
    EXPECT_EQ(events[0].properties, events[1].properties);
}

TEST_F(OpeningNotes, AppendPutsABlankLineBetweenOldTextAndPieceAndTellsTheEditor)
{
    auto& m = makeModel();
    RecordingBridge bridge;
    m.setEditorBridge(&bridge);
    m.appendText(QStringLiteral("## Template"));
    EXPECT_EQ(m.text(), QStringLiteral("## Template"));
    m.appendText(QStringLiteral("- [ ] item"));
    EXPECT_EQ(m.text(), QStringLiteral("## Template\n\n- [ ] item"));
    EXPECT_EQ(bridge.pieces, (QStringList{QStringLiteral("## Template"), QStringLiteral("- [ ] item")}));
}

using ChoosingFolder = ModelFixture;

TEST_F(ChoosingFolder, StoresThePickedFolderAndCountsIt)
{
    auto& m = makeModel(false);
    const QString picked = home.filePath(QStringLiteral("Picked"));
    QDir().mkpath(picked);
    writeBytes(picked + QStringLiteral("/a.md"), "- [x] done");
    chooser.answers.push_back(picked);
    std::optional<QUrl> result;
    bool called = false;
    m.chooseSaveFolder([&](std::optional<QUrl> folder) {
        called = true;
        result = folder;
    });
    ASSERT_TRUE(called);
    EXPECT_EQ(result->toLocalFile(), picked);
    EXPECT_EQ(chooser.folderRequests.value(0).prompt, QStringLiteral("Choose Folder"));
    EXPECT_EQ(settings->fileUrlValue(QStringLiteral("flintlySaveFolder"))->toLocalFile(), picked);
    EXPECT_TRUE(settings->bytesValue(QStringLiteral("SavedFolderBookmark")));
    EXPECT_TRUE(waitUntil([&] { return settings->intValue(QStringLiteral("statsTodoDone")) == 1; }));
}

TEST_F(ChoosingFolder, TheDraftBeingTypedIsSavedIntoTheFolderItCameFrom)
{
    auto& m = makeModel(true);
    const QString next = home.filePath(QStringLiteral("Next"));
    QDir().mkpath(next);
    m.setText(QStringLiteral("Half a thought"));  // the save's debounce has not run yet
    chooser.answers.push_back(next);
    m.chooseSaveFolder([&](std::optional<QUrl>) { m.newNote(); });  // what "Change…" does
    EXPECT_EQ(readBytes(notes + QStringLiteral("/Half a thought.md")), QByteArray("Half a thought"));
    EXPECT_TRUE(QDir(next).entryList(QDir::Files).isEmpty());
    EXPECT_EQ(m.saveFolder().toLocalFile(), next);
}

TEST_F(ChoosingFolder, CancellingChangesNothing)
{
    auto& m = makeModel(false);
    bool called = false;
    m.chooseSaveFolder([&](std::optional<QUrl> folder) {
        called = true;
        EXPECT_FALSE(folder);
    });
    EXPECT_TRUE(called);
    EXPECT_TRUE(m.saveFolder().isEmpty());
    EXPECT_FALSE(settings->contains(QStringLiteral("flintlySaveFolder")));
}

TEST_F(ChoosingFolder, CalledFromAnotherThreadItHopsToTheMainThread)
{
    auto& m = makeModel(false);
    chooser.answers.push_back(notes);
    std::atomic<bool> onMain{false};
    std::thread([&] { m.chooseSaveFolder([&](std::optional<QUrl>) { onMain = isMainThread(); }); }).join();
    EXPECT_TRUE(waitUntil([&] { return onMain.load(); }));
}
