#include "shortcuts/Shortcut.h"

#include "shortcuts/CurrentKeyboardLayout.h"
#include "shortcuts/KeyCodeMap.h"
#include "shortcuts/SpecialKey.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QKeyEvent>

#include <cmath>
#include <limits>

namespace flintly::shortcuts {

namespace {

const QString kFunctionSymbol = QStringLiteral("\U0001F310\uFE0E");

std::optional<QString> layoutCharacter(int keyCode)
{
    const auto c = currentKeyboardLayout().character(keyCode);
    if (!c || c->isEmpty())
        return std::nullopt;
    return c;
}

// Qt names the key of a printable character by its upper-case code point.
std::optional<int> qtKeyForCharacter(const QString& character)
{
    const QString upper = character.toUpper();
    const uint code = upper.toUcs4().value(0);
    if (code == 0)
        return std::nullopt;
    return static_cast<int>(code);
}

std::optional<int> wholeNumber(const QJsonValue& value)
{
    if (!value.isDouble())
        return std::nullopt;
    const double d = value.toDouble();
    if (!std::isfinite(d) || d != std::floor(d) || d < 0 || d > std::numeric_limits<qint32>::max())
        return std::nullopt;
    return static_cast<int>(d);
}

}  // namespace

Shortcut::Shortcut(int carbonKeyCode, quint32 carbonModifiers)
    : carbonKeyCode_(carbonKeyCode), carbonModifiers_(normalizedCarbonModifiers(carbonModifiers))
{}

Shortcut::Shortcut(Key key, ModifierFlags modifiers)
    : carbonKeyCode_(key.rawValue), carbonModifiers_(modifierFlagsToCarbon(modifiers))
{}

std::optional<Shortcut> Shortcut::fromEvent(const QEvent* event)
{
    if (!event || (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease))
        return std::nullopt;
    return fromKeyEvent(*static_cast<const QKeyEvent*>(event));
}

std::optional<Shortcut> Shortcut::fromKeyEvent(const QKeyEvent& event)
{
    const QKeyEvent* keyEvent = &event;
    if (KeyCodeMap::isModifierQtKey(keyEvent->key()))
        return std::nullopt;
    // The scan code names the physical key whatever the layout; events posted by code
    // carry none and are read through their Qt key instead.
    std::optional<int> code;
    if (keyEvent->nativeScanCode() != 0)
        code = KeyCodeMap::keyCodeForXKeycode(keyEvent->nativeScanCode());
    if (!code)
        code = KeyCodeMap::keyCodeForQtKey(keyEvent->key(), keyEvent->modifiers() & Qt::KeypadModifier);
    if (!code || KeyCodeMap::isModifierKey(*code))
        return std::nullopt;
    // Qt has no Function modifier, so an event never brings one in.
    return Shortcut(*code, qtToCarbonModifiers(keyEvent->modifiers()));
}

QByteArray Shortcut::toJson() const
{
    const QJsonObject object{{QStringLiteral("carbonKeyCode"), carbonKeyCode_},
                             {QStringLiteral("carbonModifiers"), static_cast<qint64>(carbonModifiers_)}};
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

std::optional<Shortcut> Shortcut::fromJson(const QByteArray& json)
{
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return std::nullopt;
    const QJsonObject object = doc.object();
    const auto code = wholeNumber(object.value(QStringLiteral("carbonKeyCode")));
    const auto modifiers = wholeNumber(object.value(QStringLiteral("carbonModifiers")));
    if (!code || !modifiers)
        return std::nullopt;
    return Shortcut(Stored{}, *code, static_cast<quint32>(*modifiers));
}

QString Shortcut::description() const
{
    QString text;
    if (carbonModifiers_ & CarbonModifier::control)
        text += QStringLiteral("⌃");
    if (carbonModifiers_ & CarbonModifier::option)
        text += QStringLiteral("⌥");
    if (carbonModifiers_ & CarbonModifier::shift)
        text += QStringLiteral("⇧");
    if (carbonModifiers_ & CarbonModifier::command)
        text += QStringLiteral("⌘");
    if (carbonModifiers_ & CarbonModifier::function)
        text += kFunctionSymbol;

    if (const auto special = specialKeyForCode(carbonKeyCode_))
        return text + displayText(*special);
    const auto character = layoutCharacter(carbonKeyCode_);
    return text + (character ? character->toUpper() : QStringLiteral("\uFFFD"));
}

std::optional<int> Shortcut::nsMenuItemKeyEquivalent() const
{
    if (const auto special = specialKeyForCode(carbonKeyCode_))
        return menuQtKey(*special);
    if (const auto character = layoutCharacter(carbonKeyCode_))
        return qtKeyForCharacter(*character);
    return std::nullopt;
}

std::optional<QKeySequence> Shortcut::keySequence() const
{
    if (carbonModifiers_ & CarbonModifier::function)
        return std::nullopt;
    const auto key = nsMenuItemKeyEquivalent();
    if (!key)
        return std::nullopt;
    return QKeySequence(QKeyCombination(qtModifiers(), static_cast<Qt::Key>(*key)));
}

QString Shortcut::nativeText() const
{
    const QString fn = (carbonModifiers_ & CarbonModifier::function) ? QStringLiteral("Fn+") : QString();
    std::optional<int> key;
    Qt::KeyboardModifiers modifiers = qtModifiers();
    const auto special = specialKeyForCode(carbonKeyCode_);
    if (special) {
        key = qtKey(*special);
        if (isKeypad(*special))
            modifiers |= Qt::KeypadModifier;
    } else if (const auto character = layoutCharacter(carbonKeyCode_)) {
        key = qtKeyForCharacter(*character);
    }
    if (!key) {
        // Qt cannot name a key it does not know; borrow a letter for the modifiers.
        QString prefix = QKeySequence(QKeyCombination(modifiers, Qt::Key_A)).toString(QKeySequence::NativeText);
        prefix.chop(1);
        return fn + prefix + QStringLiteral("\uFFFD");
    }
    return fn + QKeySequence(QKeyCombination(modifiers, static_cast<Qt::Key>(*key))).toString(QKeySequence::NativeText);
}

QKeyEvent* Shortcut::makeKeyEvent(bool press) const
{
    int key = Qt::Key_unknown;
    Qt::KeyboardModifiers modifiers = qtModifiers();
    QString text;
    if (const auto special = specialKeyForCode(carbonKeyCode_)) {
        key = qtKey(*special);
        if (isKeypad(*special))
            modifiers |= Qt::KeypadModifier;
    } else if (const auto character = layoutCharacter(carbonKeyCode_)) {
        key = qtKeyForCharacter(*character).value_or(Qt::Key_unknown);
        text = *character;
    }
    return new QKeyEvent(press ? QEvent::KeyPress : QEvent::KeyRelease, key, modifiers,
                         KeyCodeMap::xKeycode(carbonKeyCode_).value_or(0), 0, 0, text);
}

size_t qHash(const Shortcut& shortcut, size_t seed) noexcept
{
    return qHashMulti(seed, shortcut.carbonKeyCode(), shortcut.carbonModifiers());
}

}  // namespace flintly::shortcuts
