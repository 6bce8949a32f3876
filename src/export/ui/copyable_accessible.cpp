#include "export/ui/copyable_accessible.h"

#include "export/ui/screenshot_copy_actions.h"

#include <QAccessibleWidget>
#include <QWidget>

namespace tovik {
namespace {

const QString copyAction = QStringLiteral("Copy screenshot");

class CopyableAccessible : public QAccessibleWidget {
public:
    CopyableAccessible(QWidget* widget, ScreenshotCopyActions* actions)
        : QAccessibleWidget(widget, QAccessible::Graphic)
        , actions_(actions) {}

    QStringList actionNames() const override {
        return QStringList{copyAction} + QAccessibleWidget::actionNames();
    }

    QString localizedActionDescription(const QString& name) const override {
        return name == copyAction ? copyAction
                                  : QAccessibleWidget::localizedActionDescription(name);
    }

    void doAction(const QString& name) override {
        if (name != copyAction)
            return QAccessibleWidget::doAction(name);
        if (actions_)
            actions_->copy();
    }

private:
    QPointer<ScreenshotCopyActions> actions_;
};

QAccessibleInterface* factory(const QString&, QObject* object) {
    if (!object || !object->isWidgetType())
        return nullptr;
    auto* actions =
        object->findChild<ScreenshotCopyActions*>(QString(), Qt::FindDirectChildrenOnly);
    if (!actions)
        return nullptr;
    return new CopyableAccessible(static_cast<QWidget*>(object), actions);
}

} // namespace

void makeCopyableAccessible(ScreenshotCopyActions* actions) {
    static const bool installed = [] {
        QAccessible::installFactory(factory);
        return true;
    }();
    Q_UNUSED(installed);
    QAccessibleInterface* current = QAccessible::queryAccessibleInterface(actions->parent());
    if (current && !dynamic_cast<CopyableAccessible*>(current))
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(current));
}

} // namespace tovik
