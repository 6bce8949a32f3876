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

    // Loads from the INI file at `settingsPath` once; a missing, unreadable or invalid binding
    // gives the default one. Nothing but save() ever writes the file.
    explicit ShortcutPreferences(QString settingsPath, QObject* parent = nullptr);

    const QString& settingsPath() const { return settingsPath_; }
    /** Why the settings file could not be read at start-up, naming it; empty when it could (or
     *  when a save has written it since). */
    const QString& loadProblem() const { return loadProblem_; }

    const ShortcutBinding& startOrCapture() const { return startOrCapture_; }
    bool isRecording() const { return isRecording_; }
    void setRecording(bool recording);
    void setApply(ApplyFunction apply) { apply_ = std::move(apply); }

    /** Validates, applies, then stores `binding` by changing only its line of the settings file;
     * on any failure memory, hot key and file keep the previous binding. */
    Outcome save(const ShortcutBinding& binding);

Q_SIGNALS:
    void startOrCaptureChanged(const tovik::ShortcutBinding& binding);
    void recordingChanged(bool isRecording);

private:
    void setStartOrCapture(const ShortcutBinding& binding);

    QString settingsPath_;
    QString loadProblem_;
    ShortcutBinding startOrCapture_ = ShortcutBinding::defaultBinding();
    ApplyFunction apply_;
    bool isRecording_ = false;
};

} // namespace tovik
