#include "FakeKeyGrabBackend.h"

#include "platform/NotificationCenter.h"
#include "platform/SettingsStore.h"
#include "shortcuts/GlobalShortcuts.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

using namespace flintly;
using namespace flintly::shortcuts;
using flintly::test::FakeKeyGrabBackend;

namespace {

const Shortcut kCommandJ(Key::j, ModifierFlag::command);
const Shortcut kCommandK(Key::k, ModifierFlag::command);

class Storage : public ::testing::Test {
protected:
    void SetUp() override
    {
        path = dir.filePath(QStringLiteral("Flintly.conf"));
        reopen();
        NotificationCenter::defaultCenter().observe(kShortcutByNameDidChange, &observer, [this](const Notification& n) {
            changes.append(n.userInfo.value(QStringLiteral("name")).value<Name>());
        });
    }

    // A new launch: fresh objects over the same settings file.
    void reopen()
    {
        shortcuts.reset();
        store = std::make_unique<SettingsStore>(path);
        backend = {};
        shortcuts = std::make_unique<GlobalShortcuts>(*store, std::make_unique<FakeKeyGrabBackend>(backend));
    }

    QString rawValue(const QString& key)
    {
        store->sync();
        QFile f(path);
        f.open(QIODevice::ReadOnly);
        for (const QByteArray& line : f.readAll().split('\n'))
            if (line.startsWith(key.toUtf8() + '='))
                return QString::fromUtf8(line.mid(key.size() + 1));
        return {};
    }

    QTemporaryDir dir;
    QString path;
    std::unique_ptr<SettingsStore> store;
    FakeKeyGrabBackend::State backend;
    std::unique_ptr<GlobalShortcuts> shortcuts;
    QObject observer;
    QList<Name> changes;
};

}  // namespace

TEST_F(Storage, FirstLaunchStoresAndRegistersTheDefaultLaterLaunchesKeepTheChoice)
{
    const Name name = shortcuts->declare(QStringLiteral("showNote"), kCommandJ);
    EXPECT_EQ(shortcuts->getShortcut(name), kCommandJ);
    EXPECT_EQ(backend.grabs.values(), QList<Shortcut>{kCommandJ});
    EXPECT_EQ(changes, QList<Name>{name});

    shortcuts->setShortcut(kCommandK, name);
    reopen();
    shortcuts->declare(QStringLiteral("showNote"), kCommandJ);
    EXPECT_EQ(shortcuts->getShortcut(name), kCommandK);

    shortcuts->setShortcut(std::nullopt, name);
    reopen();
    changes.clear();
    shortcuts->declare(QStringLiteral("showNote"), kCommandJ);
    EXPECT_EQ(shortcuts->getShortcut(name), std::nullopt) << "a disabled name stays disabled";
    EXPECT_TRUE(changes.isEmpty());
    EXPECT_TRUE(backend.grabs.isEmpty());
}

TEST_F(Storage, PersistedFormIsTheJsonTextOrFalse)
{
    const Name withDefault = shortcuts->declare(QStringLiteral("showNote"), kCommandJ);
    EXPECT_EQ(store->value(withDefault.settingsKey()).toString(),
              QStringLiteral(R"({"carbonKeyCode":38,"carbonModifiers":256})"));

    shortcuts->setShortcut(std::nullopt, withDefault);
    EXPECT_EQ(rawValue(withDefault.settingsKey()), QStringLiteral("false"));
    EXPECT_EQ(shortcuts->getShortcut(withDefault), std::nullopt);
    EXPECT_TRUE(backend.grabs.isEmpty());

    const Name plain = shortcuts->declare(QStringLiteral("plain"));
    shortcuts->setShortcut(kCommandK, plain);
    shortcuts->setShortcut(std::nullopt, plain);
    EXPECT_FALSE(store->contains(plain.settingsKey()));
}

TEST_F(Storage, ClearingWhatIsNotStoredAnnouncesNothing)
{
    const Name plain = shortcuts->declare(QStringLiteral("plain"));
    shortcuts->setShortcut(std::nullopt, plain);
    store->setValue(plain.settingsKey(), QStringLiteral("{garbage"));
    shortcuts->setShortcut(std::nullopt, plain);
    EXPECT_TRUE(changes.isEmpty());
}

TEST_F(Storage, GarbageStoredUnderANameReadsAsNoShortcut)
{
    const Name name(QStringLiteral("showNote"));
    for (const QVariant& garbage : {QVariant(QStringLiteral("not json")), QVariant(true), QVariant(42),
                                    QVariant(QStringLiteral(R"({"carbonKeyCode":-5,"carbonModifiers":256})")),
                                    QVariant(QStringLiteral(R"({"keyCode":38})"))}) {
        store->setValue(name.settingsKey(), garbage);
        EXPECT_EQ(shortcuts->getShortcut(name), std::nullopt) << garbage.toString().toStdString();
    }
    // Garbage is not "nothing stored": the default does not overwrite it.
    shortcuts->declare(QStringLiteral("showNote"), kCommandJ);
    EXPECT_EQ(shortcuts->getShortcut(name), std::nullopt);
}

TEST_F(Storage, MovingOneOfTwoNamesOffASharedShortcutKeepsItForTheOther)
{
    const Name a = shortcuts->declare(QStringLiteral("a"), kCommandJ);
    const Name b = shortcuts->declare(QStringLiteral("b"), kCommandJ);
    int bRan = 0;
    shortcuts->onKeyDown(b, &observer, [&] { ++bRan; });

    shortcuts->setShortcut(kCommandK, a);
    EXPECT_TRUE(test::pressGrabbed(backend, kCommandJ, true)) << "b's hotkey must survive a's change";
    EXPECT_EQ(bRan, 1);

    shortcuts->setShortcut(std::nullopt, b);
    EXPECT_FALSE(test::pressGrabbed(backend, kCommandJ, true));
}

TEST_F(Storage, ResetRestoresDefaultsAndRemovesTheRest)
{
    const Name withDefault = shortcuts->declare(QStringLiteral("showNote"), kCommandJ);
    const Name plain = shortcuts->declare(QStringLiteral("plain"));
    shortcuts->setShortcut(kCommandK, withDefault);
    shortcuts->setShortcut(Shortcut(Key::l, ModifierFlag::command), plain);
    changes.clear();

    shortcuts->reset({withDefault, plain});
    EXPECT_EQ(shortcuts->getShortcut(withDefault), kCommandJ);
    EXPECT_FALSE(store->contains(plain.settingsKey()));
    EXPECT_EQ(changes, (QList<Name>{withDefault, plain}));
    EXPECT_EQ(backend.grabs.values(), QList<Shortcut>{kCommandJ});

    changes.clear();
    shortcuts->reset(plain);
    EXPECT_TRUE(changes.isEmpty()) << "nothing stored, nothing to announce";
}

TEST_F(Storage, ResetAllRemovesStoredShortcutsButKeepsDisabledOnes)
{
    const Name showNote = shortcuts->declare(QStringLiteral("showNote"), kCommandJ);
    const Name disabled = shortcuts->declare(QStringLiteral("disabled"), kCommandK);
    shortcuts->setShortcut(std::nullopt, disabled);
    store->setValue(QStringLiteral("appTheme"), 2);

    shortcuts->resetAll();
    EXPECT_FALSE(store->contains(showNote.settingsKey()));
    EXPECT_EQ(rawValue(disabled.settingsKey()), QStringLiteral("false"));
    EXPECT_TRUE(store->contains(QStringLiteral("appTheme")));
    EXPECT_TRUE(backend.grabs.isEmpty());

    // The default returns the next time the name is declared.
    shortcuts->declare(QStringLiteral("showNote"), kCommandJ);
    EXPECT_EQ(shortcuts->getShortcut(showNote), kCommandJ);
}
