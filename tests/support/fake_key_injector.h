#pragma once

#include "platform/key_injector.h"

#include <QList>
#include <QString>

#include <chrono>

namespace tovik {

// Records the key events a paste shortcut consists of.
class FakeKeyInjector final : public KeyInjector {
public:
    struct Event {
        QString kind; // "down" or "up"
        AppRef destination;
        std::chrono::steady_clock::time_point at;
    };

    bool reaches = true, permission = true, requestAnswer = false, canCreateEvents = true;
    int requestCount = 0, modifierReleases = 0;
    QList<Event> events;

    bool reachesOtherApps() override { return reaches; }
    bool hasPermission() override { return permission; }
    QCoro::Task<bool> requestPermission() override {
        ++requestCount;
        co_return requestAnswer;
    }
    QCoro::Task<> releaseHeldModifiers() override {
        ++modifierReleases;
        co_return;
    }
    bool postPaste(const AppRef& destination) override {
        if (!canCreateEvents)
            return false;
        const auto now = std::chrono::steady_clock::now();
        events.append(Event{QStringLiteral("down"), destination, now});
        events.append(Event{QStringLiteral("up"), destination, now});
        return true;
    }

    QStringList kinds() const {
        QStringList result;
        for (const Event& e : events)
            result.append(e.kind);
        return result;
    }
};

} // namespace tovik
