#include "model/annotation.h"

namespace tovik {

MarkRect MarkRect::from(const QRectF& r) {
    const QRectF n = r.normalized();
    return {n.x(), n.y(), n.width(), n.height()};
}

Annotation::Annotation(QUuid id, qint64 number, QDateTime createdAt, QString comment,
                       quint32 displayID, QString displayName, QSizeF displaySize,
                       const QRectF& selection, const QRectF& crop, double pixelsPerPoint,
                       QList<PenStroke> strokes)
    : id(id)
    , number(number)
    , createdAt(std::move(createdAt))
    , comment(std::move(comment))
    , displayID(displayID)
    , displayName(std::move(displayName))
    , displaySize{displaySize.width(), displaySize.height()}
    , selection(MarkRect::from(selection))
    , crop(MarkRect::from(crop))
    , pixelsPerPoint(pixelsPerPoint)
    , strokes(std::move(strokes)) {}

QString Annotation::fileName() const {
    return QString::asprintf("tovik-%03lld.png", static_cast<long long>(number));
}

QString Annotation::instruction() const {
    const QString trimmed = comment.trimmed();
    if (!trimmed.isEmpty())
        return trimmed;
    return strokes.isEmpty() ? QStringLiteral("Review the marked region.")
                             : QStringLiteral("Review the marked region and pen strokes.");
}

qint64 CapturedItem::byteCount() const {
    return qint64(image.bytesPerLine()) * image.height();
}

} // namespace tovik
