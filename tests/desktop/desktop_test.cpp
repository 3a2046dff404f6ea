// What Flintly leaves in the desktop: GNOME's custom keybinding through the real GSettings
// (its memory backend, with the two schemas GNOME's settings daemon installs compiled
// into a folder of the test's own), and the autostart entry as a real file.
#include "desktop/AutostartEntry.h"
#include "desktop/CustomKeybindingStore.h"
#include "desktop/GnomeKeybinding.h"
#include "desktop/LaunchCommand.h"
#include "shortcuts/Key.h"
#include "shortcuts/Shortcut.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

using namespace flintly;
using namespace flintly::desktop;
using Entry = CustomKeybindingStore::Entry;

namespace {

const QString kBase = QStringLiteral("/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/");

// As gnome-settings-daemon-common ships them (only the keys Flintly touches).
constexpr char kSchemas[] = R"(<schemalist>
  <schema id="org.gnome.settings-daemon.plugins.media-keys" path="/org/gnome/settings-daemon/plugins/media-keys/">
    <key name="custom-keybindings" type="as"><default>[]</default></key>
  </schema>
  <schema id="org.gnome.settings-daemon.plugins.media-keys.custom-keybinding">
    <key name="name" type="s"><default>''</default></key>
    <key name="binding" type="s"><default>''</default></key>
    <key name="command" type="s"><default>''</default></key>
  </schema>
</schemalist>
)";

class GnomeKeybindings : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        // Before anything asks GSettings for its schemas or backend.
        qputenv("GSETTINGS_BACKEND", "memory");
        schemas_ = new QTemporaryDir;
        QFile xml(schemas_->filePath(QStringLiteral("media-keys.gschema.xml")));
        ASSERT_TRUE(xml.open(QIODevice::WriteOnly));
        xml.write(kSchemas);
        xml.close();
        ASSERT_EQ(QProcess::execute(QStringLiteral("glib-compile-schemas"), {schemas_->path()}), 0);
        qputenv("GSETTINGS_SCHEMA_DIR", schemas_->path().toUtf8());
    }
    static void TearDownTestSuite() { delete schemas_; }

    void SetUp() override
    {
        store = CustomKeybindingStore::gsettings();
        ASSERT_TRUE(store->isAvailable());
        // The user's own keybindings, which must come through untouched.
        store->setEntry(kBase + QStringLiteral("custom0/"), terminal);
        store->setEntry(kBase + QStringLiteral("custom1/"), screenshot);
        store->setPaths(others);
        store->sync();
    }
    void TearDown() override
    {
        for (const QString& p : store->paths() + QStringList{GnomeKeybinding::kPath})
            store->resetEntry(p);
        store->setPaths({});
        store->sync();
    }

    static inline QTemporaryDir* schemas_ = nullptr;
    const QStringList command{QStringLiteral("/opt/Flintly Apps/flintly"), QStringLiteral("--toggle")};
    const Entry terminal{QStringLiteral("Terminal"), QStringLiteral("kgx"), QStringLiteral("<Super>t")};
    const Entry screenshot{QStringLiteral("Shot"), QStringLiteral("flameshot gui"), QStringLiteral("Print")};
    const QStringList others{kBase + QStringLiteral("custom0/"), kBase + QStringLiteral("custom1/"),
                             QStringLiteral("not a path")};
    std::unique_ptr<CustomKeybindingStore> store;
};

TEST_F(GnomeKeybindings, AddedOnceFoundAgainAtTheNextStartAndRemovedLeavingTheOthersAlone)
{
    GnomeKeybinding ours(*store, command);
    EXPECT_FALSE(ours.find());
    ASSERT_TRUE(ours.add(QStringLiteral("<Control>j")));
    EXPECT_EQ(store->paths(), others + QStringList{GnomeKeybinding::kPath});
    EXPECT_EQ(store->entry(GnomeKeybinding::kPath),
              (Entry{GnomeKeybinding::kName, QStringLiteral("'/opt/Flintly Apps/flintly' --toggle"),
                     QStringLiteral("<Control>j")}));

    // The next start: a store and a keybinding of its own find it, and a new shortcut
    // changes it in place.
    auto nextStart = CustomKeybindingStore::gsettings();
    GnomeKeybinding again(*nextStart, command);
    const auto found = again.find();
    ASSERT_TRUE(found);
    EXPECT_EQ(found->path, GnomeKeybinding::kPath);
    ASSERT_TRUE(again.add(QStringLiteral("<Control><Alt>n")));
    EXPECT_EQ(store->paths().count(GnomeKeybinding::kPath), 1);
    EXPECT_EQ(store->entry(GnomeKeybinding::kPath).binding, QStringLiteral("<Control><Alt>n"));

    ASSERT_TRUE(again.remove());
    EXPECT_EQ(store->paths(), others);
    EXPECT_EQ(store->entry(GnomeKeybinding::kPath), Entry{});
    EXPECT_EQ(store->entry(kBase + QStringLiteral("custom0/")), terminal);
    EXPECT_EQ(store->entry(kBase + QStringLiteral("custom1/")), screenshot);
    EXPECT_FALSE(again.find());
}

TEST_F(GnomeKeybindings, OneTheUserMadeForTheCommandIsOursAndKeepsItsNameAndCommand)
{
    const QString byHand = kBase + QStringLiteral("custom7/");
    const Entry made{QStringLiteral("Notes"), QStringLiteral("flintly   --toggle"), QStringLiteral("<Super>n")};
    store->setEntry(byHand, made);
    store->setPaths(others + QStringList{byHand});
    GnomeKeybinding ours(*store, command);
    ASSERT_TRUE(ours.find());
    EXPECT_EQ(ours.find()->path, byHand);
    ASSERT_TRUE(ours.add(QStringLiteral("<Control>j")));
    EXPECT_EQ(store->paths(), others + QStringList{byHand}) << "no second keybinding";
    EXPECT_EQ(store->entry(byHand), (Entry{made.name, made.command, QStringLiteral("<Control>j")}));
    ASSERT_TRUE(ours.remove());
    EXPECT_EQ(store->paths(), others);
}

TEST(GnomeAccelerator, WritesShortcutsAsGnomeReadsThem)
{
    namespace Mod = shortcuts::ModifierFlag;
    using shortcuts::Key;
    using shortcuts::Shortcut;
    EXPECT_EQ(gnomeAccelerator(Shortcut(Key::j, Mod::command)), QStringLiteral("<Control>j"));
    EXPECT_EQ(gnomeAccelerator(Shortcut(Key::f5, Mod::option | Mod::shift)), QStringLiteral("<Alt><Shift>F5"));
    EXPECT_EQ(gnomeAccelerator(Shortcut(Key::minus, Mod::control)), QStringLiteral("<Super>minus"));
    EXPECT_EQ(gnomeAccelerator(Shortcut(Key::keypadPlus, Mod::command)), QStringLiteral("<Control>KP_Add"));
    EXPECT_EQ(gnomeAccelerator(Shortcut(Key::space, Mod::command | Mod::shift)),
              QStringLiteral("<Control><Shift>space"));
    EXPECT_FALSE(gnomeAccelerator(Shortcut(Key::j, Mod::function))) << "no such modifier on Linux";
}

TEST(LaunchCommand, QuotesForEachPlaceAndRecognisesItsOwnCommand)
{
    const QStringList odd{QStringLiteral("/opt/My \"Apps\"/100%/flintly"), QStringLiteral("--hidden")};
    EXPECT_EQ(LaunchCommand::desktopEntryExec(odd), QStringLiteral(R"("/opt/My \\"Apps\\"/100%%/flintly" --hidden)"));
    EXPECT_EQ(LaunchCommand::desktopEntryExec({QStringLiteral("/usr/bin/flintly"), QStringLiteral("--hidden")}),
              QStringLiteral("/usr/bin/flintly --hidden"));
    const QStringList quoteInPath{QStringLiteral("/home/o'neil/bin/flintly"), QStringLiteral("--toggle")};
    EXPECT_TRUE(LaunchCommand::runsFlintly(LaunchCommand::shellCommand(quoteInPath), QStringLiteral("--toggle")));
    EXPECT_TRUE(
        LaunchCommand::runsFlintly(QStringLiteral("\"/usr/bin/flintly\" --toggle"), QStringLiteral("--toggle")));
    EXPECT_FALSE(LaunchCommand::runsFlintly(QStringLiteral("flintly --toggle --hidden"), QStringLiteral("--toggle")));
    EXPECT_FALSE(LaunchCommand::runsFlintly(QStringLiteral("notflintly --toggle"), QStringLiteral("--toggle")));
    EXPECT_FALSE(LaunchCommand::runsFlintly(QStringLiteral("'flintly --toggle"), QStringLiteral("--toggle")));

    EXPECT_TRUE(isGnome(QStringLiteral("ubuntu:GNOME")));
    EXPECT_TRUE(isGnome(QStringLiteral("GNOME")));
    EXPECT_FALSE(isGnome(QStringLiteral("KDE")));
    EXPECT_FALSE(isGnome(QStringLiteral("GNOME-Classic-ish")));
    EXPECT_FALSE(isGnome(QString()));
}

TEST(AutostartEntry, WrittenRemovedAndTurnedOffByTheDesktopAsTheFileSays)
{
    QTemporaryDir config;
    const QString path = config.filePath(QStringLiteral("autostart/org.flintly.Flintly.desktop"));
    AutostartEntry entry({QStringLiteral("/opt/Flintly Apps/flintly"), QStringLiteral("--hidden")}, path);
    EXPECT_FALSE(entry.isEnabled());
    ASSERT_TRUE(entry.setEnabled(true)) << "the autostart folder is made as needed";
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    file.close();
    EXPECT_TRUE(text.startsWith("[Desktop Entry]\n"));
    EXPECT_TRUE(text.contains("\nExec=\"/opt/Flintly Apps/flintly\" --hidden\n")) << text.toStdString();
    EXPECT_TRUE(entry.isEnabled());

    // The desktop's startup settings turn an entry off inside the file.
    ASSERT_TRUE(file.open(QIODevice::Append));
    file.write("Hidden=true\n");
    file.close();
    EXPECT_FALSE(entry.isEnabled());
    ASSERT_TRUE(entry.setEnabled(true));
    EXPECT_TRUE(entry.isEnabled()) << "turning it on again writes it whole";
    // GNOME's own key, as its startup settings turn the entry off.
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(QByteArray(text).replace("X-GNOME-Autostart-enabled=true", "X-GNOME-Autostart-enabled=false"));
    file.close();
    EXPECT_FALSE(entry.isEnabled());
    ASSERT_TRUE(entry.setEnabled(true));

    ASSERT_TRUE(entry.setEnabled(false));
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_TRUE(entry.setEnabled(false)) << "nothing to remove is fine";

    EXPECT_TRUE(AutostartEntry::defaultFilePath().endsWith(QStringLiteral("/autostart/org.flintly.Flintly.desktop")));
}

}  // namespace
