#pragma once

#include "platform/clipboard.h"

#include <memory>

namespace tovik {

class XcbConnection;

// The CLIPBOARD selection, written through QClipboard (Qt serves the data while this app
// owns it) and watched through XFixes on a connection of its own.
class X11Clipboard final : public Clipboard {
public:
    X11Clipboard();
    ~X11Clipboard() override;

    bool write(const ClipboardPayload& payload) override;
    qint64 changeCount() override;

private:
    bool isThisApp(quint32 window) const;
    quint32 owner();

    std::unique_ptr<XcbConnection> conn_;
    quint32 selection_ = 0;
    quint8 xfixesEvent_ = 0; // first event code of XFixes; 0 without it
    qint64 changes_ = 0;
};

} // namespace tovik
