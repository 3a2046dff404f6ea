#include "editor/ColorScheme.h"

#include "platform/NotificationCenter.h"

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QStyle>

namespace flintly {

bool isDark(const QPalette& palette) { return palette.color(QPalette::Window).lightness() < 128; }

ColorScheme systemColorScheme() { return isDark(QGuiApplication::palette()) ? ColorScheme::dark : ColorScheme::light; }

QPalette paletteFor(ColorScheme scheme)
{
    if (systemColorScheme() == scheme)
        return QGuiApplication::palette();
    if (scheme == ColorScheme::light)
        return QApplication::style() ? QApplication::style()->standardPalette() : QPalette(Qt::white);
    QPalette p;
    const QColor window(45, 45, 45), base(30, 30, 30), text(235, 235, 235), disabled(127, 127, 127);
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, window);
    p.setColor(QPalette::ToolTipBase, base);
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::PlaceholderText, disabled);
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, window);
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::BrightText, Qt::red);
    p.setColor(QPalette::Link, QColor(90, 160, 255));
    p.setColor(QPalette::Highlight, QColor(42, 130, 218));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Light, QColor(70, 70, 70));
    p.setColor(QPalette::Midlight, QColor(60, 60, 60));
    p.setColor(QPalette::Mid, QColor(40, 40, 40));
    p.setColor(QPalette::Dark, QColor(20, 20, 20));
    p.setColor(QPalette::Shadow, Qt::black);
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, disabled);
    return p;
}

void SystemColorSchemeWatcher::install()
{
    static QPointer<SystemColorSchemeWatcher> instance;
    if (!instance && QCoreApplication::instance())
        instance = new SystemColorSchemeWatcher(QCoreApplication::instance());
}

SystemColorSchemeWatcher::SystemColorSchemeWatcher(QObject* parent) : QObject(parent), last_(systemColorScheme())
{
    parent->installEventFilter(this);
}

bool SystemColorSchemeWatcher::eventFilter(QObject* watched, QEvent* event)
{
    // Both arrive for one desktop change on some platform themes; only a real flip of
    // the scheme is announced, and only once.
    if (watched == parent()
        && (event->type() == QEvent::ApplicationPaletteChange || event->type() == QEvent::ThemeChange)) {
        const ColorScheme now = systemColorScheme();
        if (now != last_) {
            last_ = now;
            NotificationCenter::defaultCenter().post(QLatin1String(kNotification));
        }
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace flintly
