#pragma once

#include "support/fake_portal/fake_portal.h"

#include <map>

namespace tovik::fake {

// org.freedesktop.portal.GlobalShortcuts: sessions, the shortcuts bound in each (logged as
// "bound <id> <preferred_trigger> <description>"), and presses the test asks for.
class FakeGlobalShortcuts final : public PortalInterface {
public:
    QString name() const override {
        return QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
    }
    bool handle(const QDBusMessage& call, FakePortal& portal) override;
    void sessionClosed(const QString& path) override { bound_.erase(path); }

    // Activated for every session that bound `id`; how many there were.
    uint activate(FakePortal& portal, const QString& id);

private:
    void bindShortcuts(const QDBusMessage& call, FakePortal& portal);

    std::map<QString, QStringList> bound_; // shortcut ids by session path
};

} // namespace tovik::fake
