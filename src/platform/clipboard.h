#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

class QMimeData;

namespace tovik {

// What one write puts on the clipboard: representations by MIME type, in order.
struct ClipboardPayload {
    struct Format {
        QString mimeType;
        QByteArray data;
        friend bool operator==(const Format&, const Format&) = default;
    };
    QList<Format> formats;

    QByteArray data(const QString& mimeType) const;
    friend bool operator==(const ClipboardPayload&, const ClipboardPayload&) = default;
};

// The payload as Qt offers it to other clients. Qt offers the text types terminals and older
// toolkits ask for only under "text/plain": UTF-8 text given under its charset name alone is
// offered under both.
QMimeData* toMimeData(const ClipboardPayload& payload);

// The desktop clipboard (the CLIPBOARD selection).
class Clipboard {
public:
    Clipboard() = default;
    virtual ~Clipboard() = default;
    Clipboard(const Clipboard&) = delete;
    Clipboard& operator=(const Clipboard&) = delete;

    /** Replaces the contents; false when the clipboard refused them. */
    virtual bool write(const ClipboardPayload& payload) = 0;
    /** A counter raised each time another client takes the clipboard; this app's writes do not
     * raise it. */
    virtual qint64 changeCount() = 0;
};

} // namespace tovik
