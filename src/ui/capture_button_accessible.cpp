#include "ui/capture_button_accessible.h"

#include "ui/capture_button_style.h"

#include <QAccessibleWidget>

namespace tovik {
namespace {

class CaptureButtonAccessible : public QAccessibleWidget {
public:
    explicit CaptureButtonAccessible(CaptureButtonStyle* button)
        : QAccessibleWidget(button, QAccessible::Button) {}

    QString text(QAccessible::Text t) const override {
        const auto* b = button();
        switch (t) {
        case QAccessible::Name:
            return b->accessibleName().isEmpty() ? b->text() : b->accessibleName();
        case QAccessible::Value:
            return b->accessibleValue();
        default:
            return QAccessibleWidget::text(t);
        }
    }

    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.pressed = button()->isDown();
        s.checkable = button()->isCheckable();
        s.checked = button()->isChecked();
        return s;
    }

    QStringList actionNames() const override {
        QStringList names;
        if (button()->isEnabled())
            names << pressAction();
        return names + QAccessibleWidget::actionNames();
    }

    void doAction(const QString& name) override {
        if (name == pressAction() && button()->isEnabled())
            button()->click();
        else
            QAccessibleWidget::doAction(name);
    }

private:
    CaptureButtonStyle* button() const { return static_cast<CaptureButtonStyle*>(widget()); }
};

QAccessibleInterface* factory(const QString& className, QObject* object) {
    if (className != QLatin1String(CaptureButtonStyle::staticMetaObject.className()))
        return nullptr;
    if (auto* button = qobject_cast<CaptureButtonStyle*>(object))
        return new CaptureButtonAccessible(button);
    return nullptr;
}

} // namespace

void installCaptureButtonAccessible() {
    static const bool installed = [] {
        QAccessible::installFactory(factory);
        return true;
    }();
    Q_UNUSED(installed);
}

} // namespace tovik
