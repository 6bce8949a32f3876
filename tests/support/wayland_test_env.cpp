#include "wayland_test_env.h"

#include <QRegularExpression>

namespace tovik::waylandtest {

QList<TestScreen> testScreens() {
    const QStringList geometries = qEnvironmentVariable("TOVIK_TEST_SCREENS").split(',');
    const QStringList colours = qEnvironmentVariable("TOVIK_TEST_BACKGROUNDS").split(',');
    QList<TestScreen> screens;
    for (qsizetype i = 0; i < geometries.size() && i < colours.size(); ++i) {
        const QStringList n = geometries[i].split(QRegularExpression("[x+]"));
        if (n.size() != 4)
            return {};
        screens.append({QStringLiteral("HEADLESS-%1").arg(i + 1),
                        QRect(n[2].toInt(), n[3].toInt(), n[0].toInt(), n[1].toInt()),
                        QColor(u'#' + colours[i])});
    }
    return screens;
}

bool pointer(const QStringList& steps) {
    return runTool(qEnvironmentVariable("TOVIK_TEST_POINTER"), steps).exitCode == 0;
}

} // namespace tovik::waylandtest
