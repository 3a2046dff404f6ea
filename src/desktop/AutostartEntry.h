#pragma once

#include <QString>
#include <QStringList>

namespace flintly::desktop {

// "Open at login": the XDG autostart entry that starts Flintly, without showing its
// window, when the user logs in. The entry's file is the whole truth: nothing about it
// is kept in Flintly's settings, so removing the file by hand (or turning it off in the
// desktop's own startup settings) is seen the next time anyone asks.
class AutostartEntry {
public:
    // `command`: the program and its arguments, as the entry runs them.
    explicit AutostartEntry(QStringList command, QString filePath = defaultFilePath());

    // $XDG_CONFIG_HOME/autostart/org.flintly.Flintly.desktop (default ~/.config).
    static QString defaultFilePath();
    // The running executable with --hidden.
    static QStringList defaultCommand();

    QString filePath() const { return filePath_; }

    // The entry is there and not turned off (Hidden=true, or GNOME's
    // X-GNOME-Autostart-enabled=false, which desktops' startup settings write).
    bool isEnabled() const;
    // Writes the entry (atomically) or removes it. False, with `error` set, when the
    // file could not be written or removed; the log says so too.
    bool setEnabled(bool enabled, QString* error = nullptr);

    // The entry's text.
    QByteArray contents() const;

private:
    QStringList command_;
    QString filePath_;
};

}  // namespace flintly::desktop
