#pragma once

#include "support/fake_portal/fake_portal.h"

namespace tovik::fake {

// org.freedesktop.portal.RemoteDesktop, version 2: sessions that the user allows at Start
// (logged as "select types=<u> persist=<u> token=<s>" and "start"), a fresh restore token
// for each start, and the keys sent ("key <keysym> <state>").
class FakeRemoteDesktop final : public PortalInterface {
public:
    QString name() const override { return QStringLiteral("org.freedesktop.portal.RemoteDesktop"); }
    uint version() const override { return 2; }
    bool handle(const QDBusMessage& call, FakePortal& portal) override;

private:
    int starts_ = 0;
};

} // namespace tovik::fake
