#pragma once

#include "session/session_ui.h"

#include <QList>
#include <QStringList>

#include <functional>
#include <memory>

namespace tovik {

// What happened to one overlay; kept after the window itself is destroyed.
struct OverlayRecord {
    DisplaySnapshot snapshot;
    qint64 number = 0;
    OverlayCallbacks callbacks;
    QStringList calls; // "show", "hide", "close", "makeKey" in order
    bool visible = false, closed = false, destroyed = false;
};

class FakeOverlayWindow final : public OverlayWindow {
public:
    explicit FakeOverlayWindow(std::shared_ptr<OverlayRecord> record)
        : record_(std::move(record)) {}
    ~FakeOverlayWindow() override { record_->destroyed = true; }

    void show() override {
        record_->calls.append(QStringLiteral("show"));
        record_->visible = true;
    }
    void hide() override {
        record_->calls.append(QStringLiteral("hide"));
        record_->visible = false;
    }
    void close() override {
        record_->calls.append(QStringLiteral("close"));
        record_->visible = false;
        record_->closed = true;
    }
    QRect frame() const override { return record_->snapshot.screen.geometry; }
    void makeKey() override { record_->calls.append(QStringLiteral("makeKey")); }

private:
    std::shared_ptr<OverlayRecord> record_;
};

// Records what the store asks of its windows, in order. Alerts are answered at once after
// duringAlert has run (as if events arrived while the alert was up).
class FakeSessionUi final : public SessionUi {
public:
    struct Alert {
        QString messageText, informativeText;
    };

    QStringList calls;
    QList<std::shared_ptr<OverlayRecord>> overlays;
    QList<Alert> alerts;
    std::function<void()> duringAlert;
    bool toolbarExists = false, toolbarVisible = false, sessionWindowVisible = false;
    QSizeF toolbarSize;

    std::unique_ptr<OverlayWindow> createOverlay(const DisplaySnapshot& snapshot, qint64 number,
                                                 OverlayCallbacks callbacks) override {
        calls.append(QStringLiteral("createOverlay %1").arg(number));
        auto record = std::make_shared<OverlayRecord>();
        record->snapshot = snapshot;
        record->number = number;
        record->callbacks = std::move(callbacks);
        overlays.append(record);
        return std::make_unique<FakeOverlayWindow>(record);
    }
    void showSessionWindow() override {
        calls.append(QStringLiteral("showSessionWindow"));
        sessionWindowVisible = true;
    }
    void hideSessionWindow() override {
        calls.append(QStringLiteral("hideSessionWindow"));
        sessionWindowVisible = false;
    }
    bool hasToolbar() const override { return toolbarExists; }
    void showToolbar() override {
        calls.append(QStringLiteral("showToolbar"));
        toolbarExists = true;
        toolbarVisible = true;
    }
    void hideToolbar() override {
        calls.append(QStringLiteral("hideToolbar"));
        toolbarVisible = false;
    }
    void closeToolbar() override {
        calls.append(QStringLiteral("closeToolbar"));
        toolbarVisible = false;
    }
    void resizeToolbar(QSizeF size) override {
        calls.append(QStringLiteral("resizeToolbar %1x%2").arg(size.width()).arg(size.height()));
        toolbarSize = size;
    }
    void repositionToolbar() override { calls.append(QStringLiteral("repositionToolbar")); }
    void runAlert(const QString& messageText, const QString& informativeText) override {
        calls.append(QStringLiteral("alert"));
        alerts.append(Alert{messageText, informativeText});
        if (duringAlert)
            duringAlert();
    }

    // The overlays of the latest capture: those not yet closed.
    QList<std::shared_ptr<OverlayRecord>> openOverlays() const {
        QList<std::shared_ptr<OverlayRecord>> open;
        for (const auto& record : overlays) {
            if (!record->closed)
                open.append(record);
        }
        return open;
    }
};

} // namespace tovik
