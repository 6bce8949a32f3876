#pragma once

#include "model/failure.h"

#include <QByteArray>
#include <QList>
#include <QStringView>

#include <optional>

namespace tovik {

// Writes JSON text one token at a time in the layout of annotations.json: one member or
// element per line, two spaces per level, " : " after a member name, "/" escaped as "\/",
// non-ASCII as UTF-8, numbers in their shortest exact form, empty containers as [] and {},
// no trailing newline. Callers write members in the order they want them in the file.
class PrettyJsonWriter {
public:
    void beginObject() { open('{'); }
    void endObject() { close('}'); }
    void beginArray() { open('['); }
    void endArray() { close(']'); }

    // The next value is the member `name` of the current object.
    void name(QStringView name);

    void string(QStringView text);
    void integer(qint64 value);
    // A non-finite value is not written; finish() then fails with JsonError::nonFinite.
    void number(double value);
    // Makes finish() fail with `failure` (the first one reported wins).
    void fail(Failure failure);

    // The text written so far, or the first failure.
    Expected<QByteArray> finish() const;

private:
    void beginValue();
    void open(char bracket);
    void close(char bracket);

    QByteArray out_;
    QList<int> counts_; // values written so far at each open level
    bool afterName_ = false;
    std::optional<Failure> failure_;
};

} // namespace tovik
