#pragma once

#include "export/ui/screenshot_copy_actions.h"
#include "session/session_store.h"

namespace tovik {

// The single-screenshot copy control's view of the store.
inline ScreenshotCopySource storeCopySource(SessionStore& store) {
    return {
        [&store] { return store.exporting(); },
        [&store] { return store.error().value_or(QString()); },
        [&store](QUuid id) { return store.copyScreenshot(id); },
    };
}

} // namespace tovik
