#include "app/alert_runner.h"

#include <QMessageBox>
#include <QTimer>

namespace tovik {

void execAlert(QMessageBox& box) {
    // Once it is on screen: a box that bypasses the window manager is not activated by it.
    QTimer::singleShot(0, &box, [&box] {
        box.raise();
        box.activateWindow();
    });
    box.exec();
}

} // namespace tovik
