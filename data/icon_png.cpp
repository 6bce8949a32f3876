// Renders the scalable icon into the PNG sizes of the hicolor theme, at build time:
// icon_png <icon.svg> <output folder> <size>...; writes <folder>/<size>x<size>/apps/tovik.png.
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fputs("usage: icon_png <icon.svg> <output folder> <size>...\n", stderr);
        return 2;
    }
    QSvgRenderer svg(QString::fromLocal8Bit(argv[1]));
    if (!svg.isValid()) {
        std::fprintf(stderr, "icon_png: %s is not a valid SVG file\n", argv[1]);
        return 1;
    }
    for (int i = 3; i < argc; ++i) {
        const int size = QByteArray(argv[i]).toInt();
        const QString folder =
            QStringLiteral("%1/%2x%2/apps").arg(QString::fromLocal8Bit(argv[2])).arg(size);
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        svg.render(&painter);
        painter.end();
        if (size <= 0 || !QDir().mkpath(folder) ||
            !image.save(folder + QStringLiteral("/tovik.png"))) {
            std::fprintf(stderr, "icon_png: could not write %s\n", qPrintable(folder));
            return 1;
        }
    }
    return 0;
}
