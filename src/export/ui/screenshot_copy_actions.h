#pragma once

#include "export/ui/copy_chip.h"

#include <QCoro/QCoroTask>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUuid>

#include <functional>
#include <optional>

class QWidget;

namespace tovik {

// What the copy control needs of the session store.
struct ScreenshotCopySource {
    // Whether an export, copy or paste is running.
    std::function<bool()> exporting;
    // The store's current error text; empty when there is none.
    std::function<QString()> error;
    // Writes the capture as a PNG and puts it on the clipboard; false on failure.
    std::function<QCoro::Task<bool>(QUuid id)> copyScreenshot;
};

// Lets the user copy one capture from the view showing it: a "Copy" chip in the view's
// top-right corner while the pointer is over it (and while a result is shown), a context
// menu item and an accessibility action. Lives as a child of the decorated view, so its
// state goes away with the view.
class ScreenshotCopyActions : public QObject {
    Q_OBJECT
public:
    enum class State { idle, copied, failed };

    static constexpr int chipInset = 7;

    ScreenshotCopyActions(QWidget* content, QUuid id, ScreenshotCopySource source);
    ~ScreenshotCopyActions() override;

    QUuid id() const { return id_; }
    bool hovering() const { return hovering_; }
    State state() const;
    CopyChip* chip() const { return chip_.data(); }

    // Copies the capture unless the store is busy; the chip shows the result.
    void copy();
    // Re-reads the store's busy flag and error text; call when either changes.
    void refresh();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool exporting() const;
    void setHovering(bool hovering);
    void showMenu(const QPoint& globalPos);
    void placeChip();

    QWidget* content_;
    QUuid id_;
    ScreenshotCopySource source_;
    bool hovering_ = false;
    // Whether the last copy started here succeeded; none until one finishes and again once
    // the pointer leaves. The control belongs to one capture, so no id is kept with it.
    std::optional<bool> outcome_;
    QPointer<CopyChip> chip_;
};

} // namespace tovik
