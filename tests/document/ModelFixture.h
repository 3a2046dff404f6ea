#pragma once

#include "document/MarkdownModel.h"
#include "platform/MainThread.h"
#include "platform/SettingsStore.h"
#include "support/FakeDialogs.h"
#include "support/LogCapture.h"
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

// A model on its own settings file, notes folder and clock. The clock starts at a
// fixed moment and moves only when the test advances it, so the 0.5 s and 0.8 s
// windows of the watcher can be crossed without waiting.
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
        deps.clock = [this] { return clockNow; };
        model = std::make_unique<MarkdownModel>(std::move(deps));
        return *model;
    }

    void advance(int ms) { clockNow = clockNow.addMSecs(ms); }

    // Lets the half-second save pipeline (and the 0.1 s flag release after it) run.
    void settle(int ms = 700) { spin(ms); }

    // Waits until the pipeline has saved at the current (fake) time and released its
    // flag: on a loaded machine a fixed wait may end before it ran.
    void waitForPipelineSave()
    {
        ASSERT_TRUE(waitUntil([this] { return model->lastSaveTime() == clockNow && !model->isSaving(); }, 5000));
    }

    QString note(const QString& name) const { return QDir(notes).filePath(name); }

    QTemporaryDir home;
    QString notes;
    std::unique_ptr<SettingsStore> settings;
    RecordingUsageTracker tracker;
    FakeFileChooser chooser;
    QDateTime clockNow = QDateTime(QDate(2026, 3, 1), QTime(9, 0), Qt::UTC);
    std::unique_ptr<MarkdownModel> model;
};

}  // namespace flintly::test
