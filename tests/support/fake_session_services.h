#pragma once

#include "export/png_encoder_pool.h"
#include "session/session_store.h"
#include "support/fake_clipboard.h"
#include "support/fake_clock.h"
#include "support/fake_desktop.h"
#include "support/fake_key_injector.h"
#include "support/fake_screen_source.h"
#include "support/fake_session_ui.h"

namespace tovik {

// Every desktop service of a session store as a fake, and the process's encoder pool.
struct FakeSessionServices {
    SessionServices services() { return {screens, desktop, clipboard, keys, clock, ui, encoder}; }

    FakeScreenSource screens;
    FakeDesktop desktop;
    FakeClipboard clipboard;
    FakeKeyInjector keys;
    FakeClock clock;
    FakeSessionUi ui;
    PngEncoderPool encoder;
};

} // namespace tovik
