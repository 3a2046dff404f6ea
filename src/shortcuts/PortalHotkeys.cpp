#include "shortcuts/PortalHotkeys.h"

#include "shortcuts/PortalTrigger.h"

namespace flintly::shortcuts {

namespace {

// "CTRL+ALT+j" as part of a shortcut id: "ctrl-alt-j".
QString idSuffix(const QString& trigger)
{
    QString suffix;
    for (const QChar c : trigger.toLower())
        suffix += c == QLatin1Char('+') ? QLatin1Char('-') : (c.isLetterOrNumber() ? c : QLatin1Char('_'));
    return suffix.isEmpty() ? QStringLiteral("none") : suffix;
}

}  // namespace

QList<PortalShortcut> portalShortcutsFor(const QMap<quint32, Shortcut>& grabs, const QList<PortalHotkey>& hotkeys,
                                         const KeyboardLayout& layout)
{
    QList<PortalShortcut> shortcuts;
    qsizetype index = 0;
    for (auto it = grabs.cbegin(); it != grabs.cend(); ++it, ++index) {
        PortalShortcut s;
        s.preferredTrigger = portalTrigger(*it, layout).value_or(QString());
        const PortalHotkey hotkey = index < hotkeys.size()
            ? hotkeys[index]
            : PortalHotkey{QStringLiteral("hotkey%1").arg(it.key()), it->nativeText(), {}};
        s.id = hotkey.id;
        s.description = hotkey.description;
        if (hotkey.defaultShortcut && *hotkey.defaultShortcut != *it)
            s.id += QLatin1Char('-') + idSuffix(s.preferredTrigger);
        shortcuts.append(s);
    }
    return shortcuts;
}

}  // namespace flintly::shortcuts
