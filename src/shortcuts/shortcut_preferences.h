#pragma once

#include "model/failure.h"
#include "shortcuts/shortcut_binding.h"

#include <QObject>
#include <QString>

#include <functional>

namespace tovik {

// The current capture shortcut, persisted in the settings file, and the state of its
// recording. Observable field by field; main thread only.
class ShortcutPreferences : public QObject {
    Q_OBJECT
    Q_PROPERTY(ShortcutBinding startOrCapture READ startOrCapture NOTIFY startOrCaptureChanged)
    Q_PROPERTY(bool isRecording READ isRecording WRITE setRecording NOTIFY recordingChanged)
public:
    // Tries to make a binding the live hot key; answers whether that worked.
    using ApplyFunction = std::function<bool(const ShortcutBinding&)>;

    // The settings key of the binding; its value is the binding's JSON bytes.
    static const QString settingsKey;

    // The one instance, loaded from defaultSettingsPath() on first use and never destroyed.
    static ShortcutPreferences& shared();
    // tovik/tovik.conf in the user's configuration directory.
    static QString defaultSettingsPath();

    // Loads from the INI file at `settingsPath`; a missing, unreadable or invalid binding
    // gives the default one and the file is left as it is.
    explicit ShortcutPreferences(QString settingsPath, QObject* parent = nullptr);

    const ShortcutBinding& startOrCapture() const { return startOrCapture_; }
    bool isRecording() const { return isRecording_; }
    void setRecording(bool recording);
    void setApply(ApplyFunction apply) { apply_ = std::move(apply); }

    /** Validates, applies, then stores `binding`; on any failure memory, hot key and file keep the
     * previous binding. */
    Outcome save(const ShortcutBinding& binding);

Q_SIGNALS:
    void startOrCaptureChanged(const tovik::ShortcutBinding& binding);
    void recordingChanged(bool isRecording);

private:
    bool write(const QByteArray& json);
    void setStartOrCapture(const ShortcutBinding& binding);

    QString settingsPath_;
    ShortcutBinding startOrCapture_;
    ApplyFunction apply_;
    bool isRecording_ = false;
};

} // namespace tovik
