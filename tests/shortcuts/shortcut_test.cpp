#include "shortcuts/KeyCodeMap.h"
#include "shortcuts/Shortcut.h"
#include "shortcuts/SpecialKey.h"

#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QMouseEvent>

using namespace flintly::shortcuts;

namespace {
constexpr quint32 kAllCarbon = CarbonModifier::control | CarbonModifier::option | CarbonModifier::shift
    | CarbonModifier::command | CarbonModifier::function;
}

TEST(Modifiers, FiveBitsSurviveTheRoundTripAndNothingElseDoes)
{
    EXPECT_EQ(carbonToModifierFlags(kAllCarbon),
              ModifierFlag::control | ModifierFlag::option | ModifierFlag::shift | ModifierFlag::command
                  | ModifierFlag::function);
    EXPECT_EQ(modifierFlagsToCarbon(carbonToModifierFlags(kAllCarbon)), kAllCarbon);
    // Caps Lock (0x400 Carbon, 0x10000 AppKit) and the keypad bit are not modifiers of a
    // shortcut.
    EXPECT_EQ(normalizedCarbonModifiers(CarbonModifier::command | 0x400 | 0x1), CarbonModifier::command);
    EXPECT_EQ(modifierFlagsToCarbon(ModifierFlag::capsLock | ModifierFlag::numericPad | ModifierFlag::shift),
              CarbonModifier::shift);
    EXPECT_EQ(Shortcut(38, 0xFFFFFFFF).carbonModifiers(), kAllCarbon);
}

struct DescriptionRow {
    const char* name;
    int keyCode;
    quint32 modifiers;
    QString expected;
};

class Description : public ::testing::TestWithParam<DescriptionRow> {};

TEST_P(Description, ShowsSymbolsInFixedOrderThenTheKey)
{
    EXPECT_EQ(Shortcut(GetParam().keyCode, GetParam().modifiers).description(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Description,
    ::testing::Values(DescriptionRow{"command_j", 38, CarbonModifier::command, QStringLiteral("⌘J")},
                      DescriptionRow{"all_five_modifiers", 38, kAllCarbon, QStringLiteral("⌃⌥⇧⌘\U0001F310\uFE0EJ")},
                      DescriptionRow{"space_is_the_capitalised_word", 49,
                                     CarbonModifier::control | CarbonModifier::option, QStringLiteral("⌃⌥Space")},
                      DescriptionRow{"keypad_8_is_not_f20", 91, 0, QStringLiteral("8\u20E3")},
                      DescriptionRow{"f20_sits_at_90", 90, CarbonModifier::shift, QStringLiteral("⇧F20")},
                      DescriptionRow{"punctuation_from_the_layout", 44, CarbonModifier::command, QStringLiteral("⌘/")},
                      DescriptionRow{"unknown_code_is_replacement_char", 250, 0, QStringLiteral("\uFFFD")},
                      DescriptionRow{"escape_symbol", 53, CarbonModifier::option, QStringLiteral("⌥⎋")}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SpecialKeyTable, KeypadDigitsSkipTheF20Code)
{
    const int expected[] = {82, 83, 84, 85, 86, 87, 88, 89, 91, 92};
    for (int digit = 0; digit < 10; ++digit) {
        const auto key = static_cast<SpecialKey>(static_cast<int>(SpecialKey::keypad0) + digit);
        EXPECT_EQ(keyCode(key), expected[digit]) << digit;
        EXPECT_EQ(specialKeyForCode(expected[digit]), key);
    }
    EXPECT_EQ(specialKeyForCode(90), SpecialKey::f20);
    EXPECT_FALSE(specialKeyForCode(38).has_value());
}

TEST(MenuEquivalent, KeypadKeysAndFunctionModifierHaveNone)
{
    EXPECT_EQ(Shortcut(Key::j, ModifierFlag::command).keySequence(), QKeySequence(QStringLiteral("Ctrl+J")));
    EXPECT_EQ(Shortcut(Key::f5, 0).keySequence(), QKeySequence(Qt::Key_F5));
    EXPECT_EQ(Shortcut(Key::space, 0).nsMenuItemKeyEquivalent(), Qt::Key_Space);
    EXPECT_FALSE(Shortcut(Key::keypad5, ModifierFlag::command).keySequence().has_value());
    EXPECT_FALSE(Shortcut(Key::j, ModifierFlag::function).keySequence().has_value());
    EXPECT_EQ(Shortcut(Key::j, ModifierFlag::command | ModifierFlag::control).nativeText(),
              QStringLiteral("Meta+Ctrl+J"));
}

TEST(ShortcutJson, RoundTripsWithTheTwoMembers)
{
    const Shortcut s(Key::j, ModifierFlag::command);
    EXPECT_EQ(s.toJson(), QByteArray(R"({"carbonKeyCode":38,"carbonModifiers":256})"));
    EXPECT_EQ(Shortcut::fromJson(s.toJson()), s);
    EXPECT_EQ(Shortcut::fromJson(R"({"carbonModifiers":256,"carbonKeyCode":38})"), s);
}

TEST(ShortcutJson, DecodingKeepsTheStoredBitsAsTheyAre)
{
    // Decoding is not a constructor: bits a newer version might use are kept.
    const auto s = Shortcut::fromJson(R"({"carbonKeyCode":38,"carbonModifiers":257})");
    ASSERT_TRUE(s);
    EXPECT_EQ(s->carbonModifiers(), 257u);
}

class ShortcutJsonGarbage : public ::testing::TestWithParam<const char*> {};

TEST_P(ShortcutJsonGarbage, DecodesToNothing)
{
    EXPECT_FALSE(Shortcut::fromJson(QByteArray(GetParam())).has_value()) << GetParam();
}

INSTANTIATE_TEST_SUITE_P(Rows, ShortcutJsonGarbage,
                         ::testing::Values("", "false", "not json", "[38,256]", R"({"carbonKeyCode":38})",
                                           R"({"carbonKeyCode":"38","carbonModifiers":256})",
                                           R"({"carbonKeyCode":-1,"carbonModifiers":256})",
                                           R"({"carbonKeyCode":38.5,"carbonModifiers":256})",
                                           R"({"carbonKeyCode":38,"carbonModifiers":1e300})",
                                           R"({"carbonKeyCode":38,"carbonModifiers":4294967296})",
                                           R"({"carbonKeyCode":38,"carbonModifiers":256)"));

TEST(ShortcutFromEvent, OnlyKeyPressesAndReleasesOfRealKeys)
{
    const QMouseEvent mouse(QEvent::MouseButtonRelease, QPointF(1, 1), QPointF(1, 1), Qt::LeftButton, Qt::NoButton,
                            Qt::NoModifier);
    EXPECT_FALSE(Shortcut::fromEvent(&mouse));
    // Modifier keys come as key events in Qt; they are not shortcuts on their own.
    const QKeyEvent ctrl(QEvent::KeyPress, Qt::Key_Control, Qt::ControlModifier, 37, 0, 0);
    EXPECT_FALSE(Shortcut::fromEvent(&ctrl));
    const QKeyEvent shortcutOverride(QEvent::ShortcutOverride, Qt::Key_J, Qt::ControlModifier, 44, 0, 0);
    EXPECT_FALSE(Shortcut::fromEvent(&shortcutOverride));
}

TEST(ShortcutFromEvent, ScanCodeNamesTheKeyWhateverTheLayoutSays)
{
    // X keycode 44 is the key that types j on a US keyboard, even if the layout says Y.
    const QKeyEvent typed(QEvent::KeyRelease, Qt::Key_Y, Qt::ControlModifier | Qt::AltModifier, 44, 0, 0);
    EXPECT_EQ(Shortcut::fromEvent(&typed), Shortcut(Key::j, ModifierFlag::command | ModifierFlag::option));

    const QKeyEvent posted(QEvent::KeyPress, Qt::Key_F5, Qt::MetaModifier, 0, 0, 0);
    EXPECT_EQ(Shortcut::fromEvent(&posted), Shortcut(Key::f5, ModifierFlag::control));

    const QKeyEvent keypad(QEvent::KeyPress, Qt::Key_5, Qt::KeypadModifier, 0, 0, 0);
    EXPECT_EQ(Shortcut::fromEvent(&keypad), Shortcut(Key::keypad5));
}

TEST(KeyCodes, XKeycodeIsEvdevPlusEight)
{
    EXPECT_EQ(KeyCodeMap::xKeycode(Key::j.rawValue), 44);
    EXPECT_EQ(KeyCodeMap::keyCodeForXKeycode(44), Key::j.rawValue);
    EXPECT_EQ(KeyCodeMap::xKeycode(Key::f20.rawValue), 198);
    // KEY_FN has no X keycode.
    EXPECT_FALSE(KeyCodeMap::xKeycode(Key::function.rawValue));
    EXPECT_FALSE(KeyCodeMap::xKeycode(200));
    // Every named key maps back to itself.
#define CHECK_KEY(name, code)                                                                                          \
    if (auto x = KeyCodeMap::xKeycode(code)) {                                                                         \
        EXPECT_EQ(KeyCodeMap::keyCodeForXKeycode(*x), code) << #name;                                                  \
    }
    FLINTLY_SHORTCUT_KEYS(CHECK_KEY)
#undef CHECK_KEY
}
