#pragma once

#include <QObject>
#include <QPalette>

namespace flintly {

enum class ColorScheme { light, dark };

// Qt 6.4 has no notion of a desktop colour scheme; the palette is what the platform
// theme gives us, and a dark window colour is what a dark desktop looks like.
bool isDark(const QPalette& palette);
ColorScheme systemColorScheme();

// Palettes for a window that is asked to take a scheme other than the desktop's.
QPalette paletteFor(ColorScheme scheme);

// Posts "systemColorSchemeChanged" on the default notification centre whenever the
// application palette turns from light to dark or back. One per process: install()
// may be called by every view that cares.
class SystemColorSchemeWatcher : public QObject {
    Q_OBJECT
public:
    static void install();
    static constexpr auto kNotification = "systemColorSchemeChanged";

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit SystemColorSchemeWatcher(QObject* parent);
    ColorScheme last_;
};

}  // namespace flintly
