#include "screenshot_content.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>

#include <cmath>

namespace tovik::bench {

namespace {

// Smooth value noise from an integer hash: texture without the cost of true noise.
double hashUnit(int x, int y, int seed) {
    quint32 h = quint32(x) * 374761393u + quint32(y) * 668265263u + quint32(seed) * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return double(h ^ (h >> 16)) / 4294967295.0;
}

double valueNoise(double x, double y, int seed) {
    const int x0 = int(std::floor(x)), y0 = int(std::floor(y));
    const double fx = x - x0, fy = y - y0;
    const double sx = fx * fx * (3 - 2 * fx), sy = fy * fy * (3 - 2 * fy);
    const double top = hashUnit(x0, y0, seed) * (1 - sx) + hashUnit(x0 + 1, y0, seed) * sx;
    const double bottom =
        hashUnit(x0, y0 + 1, seed) * (1 - sx) + hashUnit(x0 + 1, y0 + 1, seed) * sx;
    return top * (1 - sy) + bottom * sy;
}

// A landscape-like picture: sky gradient, hills, textured ground, a little grain.
QImage photo(int width, int height, int seed) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const double u = double(x) / width, v = double(y) / height;
            const double hill =
                0.45 + 0.12 * std::sin(u * 7 + seed) + 0.08 * valueNoise(u * 6, 0.5, seed);
            const double grain = hashUnit(x, y, seed + 7) * 10 - 5;
            double r, g, b;
            if (v < hill) {
                r = 120 + 80 * v;
                g = 170 + 60 * v;
                b = 235 - 20 * v;
                const double cloud = valueNoise(u * 9, v * 5, seed + 1);
                r += 90 * std::max(0.0, cloud - 0.55);
                g += 70 * std::max(0.0, cloud - 0.55);
            } else {
                const double tex = valueNoise(u * 40, v * 40, seed + 2) * 0.6 +
                                   valueNoise(u * 160, v * 160, seed + 3) * 0.4;
                r = 60 + 70 * tex;
                g = 100 + 80 * tex;
                b = 40 + 40 * tex;
            }
            line[x] =
                qRgb(int(std::clamp(r + grain, 0.0, 255.0)), int(std::clamp(g + grain, 0.0, 255.0)),
                     int(std::clamp(b + grain, 0.0, 255.0)));
        }
    }
    return image;
}

const char* const words[] = {"session", "export", "review",     "capture",  "button",  "layout",
                             "padding", "render", "window",     "toolbar",  "comment", "the",
                             "of",      "is",     "misaligned", "settings", "display", "pixel"};

QString sentence(int seed, int length) {
    QStringList out;
    for (int i = 0; i < length; ++i)
        out.append(QString::fromLatin1(words[int(hashUnit(i, seed, 11) * 17.99)]));
    return out.join(QLatin1Char(' '));
}

} // namespace

QImage screenshotContent(int width, int height, int variant) {
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    const int hue = (variant * 37) % 360;
    image.fill(QColor(246, 246, 248));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const double s = width / 1440.0; // a 2x display

    // Title bar, sidebar and toolbar in flat colours.
    p.fillRect(QRectF(0, 0, width, 56 * s), QColor(232, 232, 236));
    p.fillRect(QRectF(0, 56 * s, 260 * s, height), QColor(238, 240, 244));
    p.fillRect(QRectF(0, 56 * s, width, 1 * s), QColor(210, 210, 215));
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(int(13 * s));
    p.setFont(font);
    for (int i = 0; i < 6; ++i) {
        p.setBrush(QColor::fromHsv((hue + 60 * i) % 360, 90, 230));
        p.setPen(Qt::NoPen);
        p.drawRoundedRect(QRectF((300 + 110 * i) * s, 12 * s, 96 * s, 32 * s), 8 * s, 8 * s);
        p.setPen(QColor(40, 40, 45));
        p.drawText(QRectF((300 + 110 * i) * s, 12 * s, 96 * s, 32 * s), Qt::AlignCenter,
                   QString::fromLatin1(words[(variant + i) % 18]));
    }
    for (int i = 0; i < 24; ++i) {
        const QRectF row(12 * s, (76 + 30 * i) * s, 236 * s, 26 * s);
        if (i == variant % 24) {
            p.setBrush(QColor::fromHsv(hue, 120, 220));
            p.setPen(Qt::NoPen);
            p.drawRoundedRect(row, 6 * s, 6 * s);
        }
        p.setPen(QColor(50, 50, 60));
        p.drawText(row.adjusted(10 * s, 0, 0, 0), Qt::AlignVCenter, sentence(variant * 100 + i, 2));
    }

    // A gradient banner.
    QLinearGradient banner(QPointF(280 * s, 0), QPointF(1420 * s, 0));
    banner.setColorAt(0, QColor::fromHsv(hue, 160, 200));
    banner.setColorAt(1, QColor::fromHsv((hue + 90) % 360, 140, 240));
    p.fillRect(QRectF(280 * s, 76 * s, 1140 * s, 120 * s), banner);
    QFont title = font;
    title.setPixelSize(int(30 * s));
    title.setBold(true);
    p.setFont(title);
    p.setPen(Qt::white);
    p.drawText(QRectF(310 * s, 76 * s, 1000 * s, 120 * s), Qt::AlignVCenter, sentence(variant, 4));

    // Body text beside a picture.
    p.setFont(font);
    p.setPen(QColor(30, 30, 35));
    for (int i = 0; i < 34; ++i)
        p.drawText(QPointF(300 * s, (236 + 19 * i) * s), sentence(variant * 1000 + i, 9));
    p.drawImage(QPointF(860 * s, 220 * s), photo(int(540 * s), int(340 * s), variant));

    // A table of flat cells.
    for (int r = 0; r < 9; ++r) {
        for (int c = 0; c < 4; ++c) {
            const QRectF cell((860 + 135 * c) * s, (580 + 28 * r) * s, 135 * s, 28 * s);
            p.fillRect(cell, r % 2 ? QColor(255, 255, 255) : QColor(242, 244, 248));
            p.setPen(QColor(60, 60, 70));
            p.drawText(cell.adjusted(8 * s, 0, 0, 0), Qt::AlignVCenter,
                       QString::number((variant + 1) * (r * 4 + c) * 37 % 1000));
        }
    }
    return image;
}

namespace {

QImage codeEditor(int width, int height, int seed) {
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(30, 31, 36));
    QPainter p(&image);
    p.setRenderHint(QPainter::TextAntialiasing);
    QFont mono(QStringLiteral("DejaVu Sans Mono"));
    mono.setPixelSize(26);
    p.setFont(mono);
    const QColor colours[] = {QColor(198, 120, 221), QColor(97, 175, 239), QColor(152, 195, 121),
                              QColor(220, 223, 228), QColor(229, 192, 123)};
    for (int line = 0; line * 38 < height; ++line) {
        p.setPen(QColor(92, 99, 112));
        p.drawText(QPointF(12, 30 + 38 * line), QString::number(line + 1));
        const int indent = int(hashUnit(line, seed, 5) * 4) * 4;
        p.setPen(colours[(line + seed) % 5]);
        p.drawText(QPointF(90 + indent * 15, 30 + 38 * line),
                   sentence(seed * 100 + line, 1 + int(hashUnit(line, seed, 9) * 6))
                           .replace(QLatin1Char(' '), QLatin1String("_")) +
                       QStringLiteral("(%1);").arg(line * 7 % 100));
    }
    return image;
}

QImage page(int width, int height, int seed) {
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::TextAntialiasing);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(28);
    p.setFont(font);
    p.setPen(QColor(20, 20, 20));
    for (int i = 0; i < 6; ++i)
        p.drawText(QPointF(80, 120 + 44 * i), sentence(seed * 10 + i, 8));
    return image;
}

} // namespace

QImage regionCrop(int index) {
    const QSize sizes[] = {{1200, 800}, {640, 400}, {1800, 1100}, {400, 300}, {960, 600}};
    const QSize size = sizes[index % 5];
    switch (index % 4) {
    case 0:
        return screenshotContent(2880, 1800, index).copy(QRect(QPoint(300, 100), size));
    case 1:
        return codeEditor(size.width(), size.height(), index);
    case 2:
        return photo(size.width(), size.height(), index)
            .convertToFormat(QImage::Format_ARGB32_Premultiplied);
    default:
        return page(size.width(), size.height(), index);
    }
}

} // namespace tovik::bench
