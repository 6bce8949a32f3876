#include "platform/clipboard.h"

namespace tovik {

QByteArray ClipboardPayload::data(const QString& mimeType) const {
    for (const Format& f : formats) {
        if (f.mimeType == mimeType)
            return f.data;
    }
    return {};
}

} // namespace tovik
