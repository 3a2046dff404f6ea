#include "shortcuts/Modifiers.h"

#include <array>
#include <utility>

namespace flintly::shortcuts {

namespace {
// The two directions are exact inverses on these five pairs; nothing else crosses.
constexpr std::array<std::pair<quint32, ModifierFlags>, 5> kPairs{{
    {CarbonModifier::control, ModifierFlag::control},
    {CarbonModifier::option, ModifierFlag::option},
    {CarbonModifier::shift, ModifierFlag::shift},
    {CarbonModifier::command, ModifierFlag::command},
    {CarbonModifier::function, ModifierFlag::function},
}};
}  // namespace

ModifierFlags carbonToModifierFlags(quint32 carbon)
{
    ModifierFlags flags = 0;
    for (const auto& [c, f] : kPairs)
        if (carbon & c)
            flags |= f;
    return flags;
}

quint32 modifierFlagsToCarbon(ModifierFlags flags)
{
    quint32 carbon = 0;
    for (const auto& [c, f] : kPairs)
        if (flags & f)
            carbon |= c;
    return carbon;
}

quint32 normalizedCarbonModifiers(quint32 carbon) { return modifierFlagsToCarbon(carbonToModifierFlags(carbon)); }

quint32 qtToCarbonModifiers(Qt::KeyboardModifiers modifiers)
{
    quint32 carbon = 0;
    if (modifiers & Qt::ControlModifier)
        carbon |= CarbonModifier::command;
    if (modifiers & Qt::MetaModifier)
        carbon |= CarbonModifier::control;
    if (modifiers & Qt::AltModifier)
        carbon |= CarbonModifier::option;
    if (modifiers & Qt::ShiftModifier)
        carbon |= CarbonModifier::shift;
    return carbon;
}

Qt::KeyboardModifiers carbonToQtModifiers(quint32 carbon)
{
    Qt::KeyboardModifiers modifiers;
    if (carbon & CarbonModifier::command)
        modifiers |= Qt::ControlModifier;
    if (carbon & CarbonModifier::control)
        modifiers |= Qt::MetaModifier;
    if (carbon & CarbonModifier::option)
        modifiers |= Qt::AltModifier;
    if (carbon & CarbonModifier::shift)
        modifiers |= Qt::ShiftModifier;
    return modifiers;
}

}  // namespace flintly::shortcuts
