#pragma once

// Where tovik draws the controls an end-to-end test clicks, read off the same widgets laid out
// here, off screen. For tests that link the app and the capture UI.
#include "app/floating_toolbar.h"
#include "capture/ui/capture_draft.h"
#include "capture/ui/capture_editor.h"
#include "session/session_store.h"
#include "shortcuts/shortcut_preferences.h"

#include <QCoreApplication>
#include <QPoint>

namespace tovik {

// The centre of `root`'s child named `name`, in root's coordinates; (-1, -1) without one.
inline QPoint centreOf(QWidget& root, const char* name) {
    const auto* child = root.findChild<QWidget*>(QString::fromLatin1(name));
    return child ? child->mapTo(&root, child->rect().center()) : QPoint(-1, -1);
}

struct ControlPlaces {
    QPoint pen;         // in the capture editor's panel
    QPoint stripToggle; // in the folded toolbar
    QPoint paste;       // in the folded toolbar
};

inline ControlPlaces controlPlaces(SessionStore& store, const QString& settingsPath) {
    ShortcutPreferences preferences(settingsPath);
    FloatingToolbar toolbar(store, preferences);
    CaptureDraft draft;
    CaptureEditor editor(&draft, 1);
    toolbar.resize(SessionStore::toolbarSize(false));
    editor.resize(CaptureEditor::maximumWidth, CaptureEditor::panelHeight);
    for (QWidget* widget : {static_cast<QWidget*>(&toolbar), static_cast<QWidget*>(&editor)}) {
        widget->setAttribute(Qt::WA_DontShowOnScreen);
        widget->show();
    }
    QCoreApplication::processEvents();
    return {centreOf(editor, "penButton"), centreOf(toolbar, "stripToggle"),
            centreOf(toolbar, "pasteButton")};
}

} // namespace tovik
