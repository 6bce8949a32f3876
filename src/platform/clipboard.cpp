#include "platform/clipboard.h"

#include <QMimeData>

namespace tovik {

QByteArray ClipboardPayload::data(const QString& mimeType) const {
    for (const Format& f : formats) {
        if (f.mimeType == mimeType)
            return f.data;
    }
    return {};
}

QMimeData* toMimeData(const ClipboardPayload& payload) {
    const QString plainText = QStringLiteral("text/plain");
    const QString utf8Text = QStringLiteral("text/plain;charset=utf-8");
    auto* data = new QMimeData;
    for (const ClipboardPayload::Format& format : payload.formats)
        data->setData(format.mimeType, format.data);
    if (data->hasFormat(utf8Text) && !data->hasFormat(plainText))
        data->setData(plainText, payload.data(utf8Text));
    return data;
}

} // namespace tovik
