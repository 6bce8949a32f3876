#include "platform/x11/x11_hot_key_backend.h"

#include "platform/x11/x11_keymap.h"
#include "platform/x11/xcb_connection.h"

namespace tovik {

X11HotKeyBackend::X11HotKeyBackend(QObject* parent)
    : HotKeyBackend(parent)
    , conn_(std::make_unique<XcbConnection>())
    , keymap_(std::make_unique<X11Keymap>(conn_->get())) {
    conn_->setEventHandler([this](const xcb_generic_event_t& event) {
        switch (eventType(event)) {
        case XCB_KEY_PRESS:
            onKeyPress(reinterpret_cast<const xcb_key_press_event_t&>(event));
            break;
        case XCB_KEY_RELEASE:
            onKeyRelease(reinterpret_cast<const xcb_key_release_event_t&>(event));
            break;
        case XCB_MAPPING_NOTIFY:
            onMapping(reinterpret_cast<const xcb_mapping_notify_event_t&>(event));
            break;
        }
    });
}

X11HotKeyBackend::~X11HotKeyBackend() {
    releaseKeys();
}

bool X11HotKeyBackend::grab(quint32 keysym, quint16 modifierMask) {
    ungrab();
    if (!grabKeys({keysym, modifierMask}))
        return false;
    combination_ = Combination{keysym, modifierMask};
    return true;
}

void X11HotKeyBackend::ungrab() {
    releaseKeys();
    combination_.reset();
}

bool X11HotKeyBackend::grabKeys(const Combination& combination) {
    if (!conn_->isValid())
        return false;
    keycodes_.clear();
    for (const xcb_keycode_t code : keymap_->keycodes(combination.keysym))
        keycodes_.append(code);
    variants_.clear();
    for (const quint16 lock : lockVariants())
        variants_.append(combination.modifierMask | lock);

    QList<xcb_void_cookie_t> cookies;
    for (const quint8 code : std::as_const(keycodes_)) {
        for (const quint16 modifiers : std::as_const(variants_))
            cookies.append(xcb_grab_key_checked(conn_->get(), false, conn_->root(), modifiers, code,
                                                XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    }
    // Each variant can be taken by another client on its own (BadAccess): a partial grab
    // would make the hot key work only with some lock states, so it counts as a conflict.
    bool allGrabbed = !cookies.isEmpty();
    for (const xcb_void_cookie_t cookie : std::as_const(cookies))
        allGrabbed = conn_->succeeded(cookie) && allGrabbed;
    if (!allGrabbed)
        releaseKeys();
    return allGrabbed;
}

void X11HotKeyBackend::releaseKeys() {
    if (!conn_->isValid())
        return;
    for (const quint8 code : std::as_const(keycodes_)) {
        for (const quint16 modifiers : std::as_const(variants_))
            xcb_ungrab_key(conn_->get(), code, conn_->root(), modifiers);
    }
    keycodes_.clear();
    variants_.clear();
    // Once this returns, other clients can take the combination.
    conn_->sync();
}

QList<quint16> X11HotKeyBackend::lockVariants() const {
    const quint16 numLock = keymap_->numLockMask();
    if (numLock == 0)
        return {0, XCB_MOD_MASK_LOCK};
    return {0, XCB_MOD_MASK_LOCK, numLock, quint16(XCB_MOD_MASK_LOCK | numLock)};
}

void X11HotKeyBackend::onKeyPress(const xcb_key_press_event_t& event) {
    if (!combination_ || !keycodes_.contains(event.detail))
        return;
    // Auto-repeat shows up as a release and a press with the same time: one press per hold.
    if (event.detail == lastReleaseKey_ && event.time == lastReleaseTime_)
        return;
    Q_EMIT pressed();
}

void X11HotKeyBackend::onKeyRelease(const xcb_key_press_event_t& event) {
    lastReleaseKey_ = event.detail;
    lastReleaseTime_ = event.time;
}

void X11HotKeyBackend::onMapping(const xcb_mapping_notify_event_t& event) {
    if (!keymap_->update(event) || !combination_)
        return;
    // The key may have moved to another keycode, or NumLock to another modifier.
    releaseKeys();
    if (grabKeys(*combination_))
        return;
    combination_.reset();
    Q_EMIT grabLost();
}

} // namespace tovik
