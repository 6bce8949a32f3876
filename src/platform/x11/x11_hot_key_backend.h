#pragma once

#include "platform/hot_key_backend.h"

#include <QList>

#include <memory>
#include <optional>

struct xcb_key_press_event_t;
struct xcb_mapping_notify_event_t;

namespace tovik {

class XcbConnection;
class X11Keymap;

// A passive key grab on the root window, once per NumLock/CapsLock state so the hot key
// works whatever the lock keys say.
class X11HotKeyBackend final : public HotKeyBackend {
    Q_OBJECT
public:
    explicit X11HotKeyBackend(QObject* parent = nullptr);
    ~X11HotKeyBackend() override;

    bool grab(quint32 keysym, quint16 modifierMask) override;
    void ungrab() override;

private:
    struct Combination {
        quint32 keysym;
        quint16 modifierMask;
    };

    bool grabKeys(const Combination& combination);
    void releaseKeys();
    QList<quint16> lockVariants() const;
    void onKeyPress(const xcb_key_press_event_t& event);
    void onKeyRelease(const xcb_key_press_event_t& event);
    void onMapping(const xcb_mapping_notify_event_t& event);

    std::unique_ptr<XcbConnection> conn_;
    std::unique_ptr<X11Keymap> keymap_;
    std::optional<Combination> combination_;
    QList<quint8> keycodes_;  // grabbed keycodes
    QList<quint16> variants_; // modifier masks each keycode is grabbed with
    quint32 lastReleaseTime_ = 0;
    quint8 lastReleaseKey_ = 0;
};

} // namespace tovik
