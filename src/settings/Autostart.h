#pragma once
// Starting the station with the desktop: the XDG autostart entry
// $XDG_CONFIG_HOME/autostart/tessora.desktop, which GNOME, KDE, Xfce and LXQt follow at login.

#include <QString>

namespace tessora {

struct AutostartState {
    bool on = false;
    QString file;     // the entry's path, whether or not it is there
    QString program;  // what the entry starts, when it is on
};

// The entry's path for the given configuration folder ($XDG_CONFIG_HOME, by default ~/.config).
QString AutostartFile(const QString& configHome);
QString UserConfigHome();

// An entry that is there counts as on unless it hides itself (Hidden=true) or is switched off
// (X-GNOME-Autostart-enabled=false), as the desktops read it.
AutostartState ReadAutostart(const QString& configHome);
// Writes the entry, starting `program`; raises EFileError.
AutostartState EnableAutostart(const QString& configHome, const QString& program);
// Removes the entry; raises EFileError when it is there and cannot be removed.
AutostartState DisableAutostart(const QString& configHome);

}  // namespace tessora
