#pragma once

#include "document/MarkdownModel.h"
#include "platform/MainThread.h"
#include "platform/SettingsStore.h"
#include "support/FakeDialogs.h"
#include "support/LogCapture.h"
#include "support/ManualTime.h"
#include "support/RecordingUsageTracker.h"
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <memory>

namespace flintly::test {

inline QByteArray readBytes(const QString& path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

inline void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    f.write(bytes);
}

inline QStringList filesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

// Makes a folder immutable (even root cannot create, rename or delete in it): the
// way to get a "read-only folder" when the tests run as root. False when the file
// system or the sandbox does not allow it.
inline bool setImmutable(const QString& path, bool on)
{
    return QProcess::execute(QStringLiteral("chattr"), {on ? QStringLiteral("+i") : QStringLiteral("-i"), path}) == 0;
}

// A model on its own settings file, notes folder and time. Time starts at a fixed
// moment and moves only when the test advances it, firing the model's timers on the
// way, so the debounce, the watcher's windows and the retries run exactly when the
// test says, however loaded the machine is.
class ModelFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(home.isValid());
        settings = std::make_unique<SettingsStore>(home.filePath(QStringLiteral("Flintly.conf")));
        notes = home.filePath(QStringLiteral("Notes"));
        QDir().mkpath(notes);
    }

    void TearDown() override { model.reset(); }

    MarkdownModel& makeModel(bool withFolder = true)
    {
        if (withFolder)
            settings->setFileUrl(QStringLiteral("flintlySaveFolder"), QUrl::fromLocalFile(notes));
        MarkdownModel::Dependencies deps;
        deps.settings = settings.get();
        deps.tracker = &tracker;
        deps.fileChooser = &chooser;
        deps.time = &time;
        deps.recoveryFolder = home.filePath(QStringLiteral("Recovery"));
        deps.versions = versions;
        model = std::make_unique<MarkdownModel>(std::move(deps));
        return *model;
    }

    void advance(int ms) { time.advance(ms); }
    QDateTime clockNow() const { return time.now(); }

    // Lets the half-second save pipeline (and the 0.1 s flag release after it) run.
    void settle(int ms = 700) { time.advance(ms); }

    QString note(const QString& name) const { return QDir(notes).filePath(name); }

    QTemporaryDir home;
    QString notes;
    std::unique_ptr<SettingsStore> settings;
    RecordingUsageTracker tracker;
    FakeFileChooser chooser;
    ManualTime time;
    NoteVersionSink* versions = nullptr;  // the history the model reports to, if any
    std::unique_ptr<MarkdownModel> model;
};

}  // namespace flintly::test
