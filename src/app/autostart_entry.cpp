#include "app/autostart_entry.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace tovik {

namespace {
// A desktop entry's Exec= argument in double quotes: ", `, $ and \ get a backslash, every
// backslash is doubled once more for the string's own escaping, and % is doubled.
QString quotedArgument(const QString& argument) {
    QString quoted;
    for (const QChar c : argument) {
        if (c == u'"' || c == u'`' || c == u'$')
            quoted += QStringLiteral("\\\\");
        if (c == u'\\')
            quoted += QStringLiteral("\\\\\\");
        if (c == u'%')
            quoted += u'%';
        quoted += c;
    }
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

// The tovik executable that starts this application: in the bin folder once installed,
// beside it in a build folder; this executable when there is none (started directly).
QString launcher() {
    const QDir here(QCoreApplication::applicationDirPath());
    for (const QString& path :
         {QDir::cleanPath(here.filePath(QStringLiteral(TOVIK_BIN_FROM_APP_DIR "/tovik"))),
          here.filePath(QStringLiteral("tovik"))}) {
        if (QFileInfo(path).isExecutable())
            return path;
    }
    return QCoreApplication::applicationFilePath();
}
} // namespace

AutostartEntry::AutostartEntry()
    : AutostartEntry(QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
                         .filePath(QStringLiteral("autostart/tovik.desktop"))) {}

AutostartEntry::AutostartEntry(QString path)
    : path_(std::move(path)) {}

bool AutostartEntry::isEnabled() const {
    return QFileInfo(path_).isFile();
}

Outcome AutostartEntry::setEnabled(bool enabled) {
    if (!enabled) {
        QFile file(path_);
        if (file.exists() && !file.remove())
            return Failure::platform(QStringLiteral("%1: %2").arg(path_, file.errorString()));
        return Done{};
    }
    if (!QDir().mkpath(QFileInfo(path_).absolutePath()))
        return Failure::platform(
            QStringLiteral("%1: the folder could not be made").arg(QFileInfo(path_).path()));
    QSaveFile file(path_);
    if (!file.open(QIODevice::WriteOnly) || file.write(contents(launcher())) < 0 || !file.commit())
        return Failure::platform(QStringLiteral("%1: %2").arg(path_, file.errorString()));
    return Done{};
}

QByteArray AutostartEntry::contents(const QString& executable) {
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=tovik\n"
                          "Comment=Collect annotated screenshots as feedback for another "
                          "application\n"
                          "Exec=%1\n"
                          "Icon=tovik\n"
                          "Terminal=false\n"
                          "X-GNOME-Autostart-enabled=true\n")
        .arg(quotedArgument(executable))
        .toUtf8();
}

} // namespace tovik
