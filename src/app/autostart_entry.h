#pragma once

#include "model/failure.h"

#include <QString>

namespace tovik {

// "Start tovik when I log in": an XDG autostart entry, tovik.desktop in
// $XDG_CONFIG_HOME/autostart/, which the desktop session starts at login. Its presence is
// the setting; nothing else remembers it.
class AutostartEntry {
public:
    // The entry in the user's autostart folder.
    AutostartEntry();
    explicit AutostartEntry(QString path);

    const QString& path() const { return path_; }
    bool isEnabled() const;
    // Writes the entry (starting the executable now running) or removes it; the file
    // system's error text when that fails.
    Outcome setEnabled(bool enabled);

    // The entry's text for an executable; Exec= quoted as the desktop entry format asks.
    static QByteArray contents(const QString& executable);

private:
    QString path_;
};

} // namespace tovik
