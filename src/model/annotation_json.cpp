#include "model/annotation_json.h"

#include "model/pretty_json_writer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

#include <limits>
#include <optional>

namespace tovik::AnnotationJson {

namespace {

// Encoding: members in ascending name order.

void write(PrettyJsonWriter& w, const MarkPoint& point);
void write(PrettyJsonWriter& w, const MarkRect& rect);
void write(PrettyJsonWriter& w, const PenStroke& stroke);
void write(PrettyJsonWriter& w, const Annotation& a);

template<typename T> void write(PrettyJsonWriter& w, const QList<T>& values) {
    w.beginArray();
    for (const T& value : values)
        write(w, value);
    w.endArray();
}

void write(PrettyJsonWriter& w, const MarkPoint& point) {
    w.beginObject();
    w.name(u"x");
    w.number(point.x);
    w.name(u"y");
    w.number(point.y);
    w.endObject();
}

void write(PrettyJsonWriter& w, const MarkRect& rect) {
    w.beginObject();
    w.name(u"height");
    w.number(rect.height);
    w.name(u"width");
    w.number(rect.width);
    w.name(u"x");
    w.number(rect.x);
    w.name(u"y");
    w.number(rect.y);
    w.endObject();
}

void write(PrettyJsonWriter& w, const PenStroke& stroke) {
    w.beginObject();
    w.name(u"points");
    write(w, stroke.points);
    w.name(u"width");
    w.number(stroke.width);
    w.endObject();
}

void writeTimestamp(PrettyJsonWriter& w, const QDateTime& time) {
    // Qt::ISODate drops the milliseconds and gives nothing for an invalid date or a year
    // outside 0..9999.
    const QString text = time.toUTC().toString(Qt::ISODate);
    if (text.isEmpty())
        w.fail(Failure::of(JsonError::invalidTimestamp));
    w.string(text);
}

void write(PrettyJsonWriter& w, const Annotation& a) {
    w.beginObject();
    w.name(u"comment");
    w.string(a.comment);
    w.name(u"createdAt");
    writeTimestamp(w, a.createdAt);
    w.name(u"crop");
    write(w, a.crop);
    w.name(u"displayID");
    w.integer(a.displayID);
    w.name(u"displayName");
    w.string(a.displayName);
    w.name(u"displaySize");
    write(w, a.displaySize);
    w.name(u"id");
    w.string(a.id.toString(QUuid::WithoutBraces).toUpper());
    w.name(u"number");
    w.integer(a.number);
    w.name(u"pixelsPerPoint");
    w.number(a.pixelsPerPoint);
    w.name(u"selection");
    write(w, a.selection);
    w.name(u"strokes");
    write(w, a.strokes);
    w.endObject();
}

template<typename T> Expected<QByteArray> encodeValue(const T& value) {
    PrettyJsonWriter w;
    write(w, value);
    return w.finish();
}

// Decoding: every field is required. The first problem sticks; reads after it return
// placeholders that are thrown away.

void fail(std::optional<Failure>& failure, JsonError error) {
    if (!failure)
        failure = Failure::of(error);
}

template<typename T> T read(const QJsonValue& value, std::optional<Failure>& failure);

template<typename T> QList<T> readList(const QJsonValue& value, std::optional<Failure>& failure) {
    QList<T> list;
    if (!value.isArray()) {
        fail(failure, JsonError::wrongType);
        return list;
    }
    for (const QJsonValue element : value.toArray()) {
        list.append(read<T>(element, failure));
        if (failure)
            break;
    }
    return list;
}

class ObjectReader {
public:
    ObjectReader(const QJsonValue& value, std::optional<Failure>& failure)
        : object_(value.toObject())
        , failure_(failure) {
        if (!value.isObject())
            fail(JsonError::wrongType);
    }

    double number(QStringView name) {
        const QJsonValue value = member(name);
        if (!value.isDouble())
            fail(JsonError::wrongType);
        return value.toDouble();
    }

    qint64 integer(QStringView name, qint64 min, qint64 max) {
        const QJsonValue value = member(name);
        // toInteger() gives 0 for a number that is not whole or does not fit in 64 bits.
        const qint64 whole = value.toInteger();
        if (!value.isDouble() || (whole == 0 && value.toDouble() != 0) || whole < min ||
            whole > max)
            fail(JsonError::wrongType);
        return whole;
    }

    QString string(QStringView name) {
        const QJsonValue value = member(name);
        if (!value.isString())
            fail(JsonError::wrongType);
        return value.toString();
    }

    QUuid uuid(QStringView name) {
        const QString text = string(name);
        const QUuid id = QUuid::fromString(text);
        if (id.toString(QUuid::WithoutBraces).compare(text, Qt::CaseInsensitive) != 0)
            fail(JsonError::invalidValue);
        return id;
    }

    QDateTime timestamp(QStringView name) {
        const QDateTime time = QDateTime::fromString(string(name), Qt::ISODate);
        // Without a zone designator the text would be read as local time.
        if (!time.isValid() || time.timeSpec() == Qt::LocalTime)
            fail(JsonError::invalidValue);
        return time.toUTC();
    }

    template<typename T> T record(QStringView name) { return read<T>(member(name), failure_); }

    template<typename T> QList<T> list(QStringView name) {
        return readList<T>(member(name), failure_);
    }

private:
    QJsonValue member(QStringView name) {
        const QJsonValue value = object_.value(name);
        if (value.isUndefined())
            fail(JsonError::missingMember);
        return value;
    }

    void fail(JsonError error) { AnnotationJson::fail(failure_, error); }

    QJsonObject object_;
    std::optional<Failure>& failure_;
};

template<> MarkPoint read<MarkPoint>(const QJsonValue& value, std::optional<Failure>& failure) {
    ObjectReader r(value, failure);
    return {r.number(u"x"), r.number(u"y")};
}

template<> MarkRect read<MarkRect>(const QJsonValue& value, std::optional<Failure>& failure) {
    ObjectReader r(value, failure);
    MarkRect rect;
    rect.x = r.number(u"x");
    rect.y = r.number(u"y");
    rect.width = r.number(u"width");
    rect.height = r.number(u"height");
    return rect;
}

template<> PenStroke read<PenStroke>(const QJsonValue& value, std::optional<Failure>& failure) {
    ObjectReader r(value, failure);
    PenStroke stroke;
    stroke.points = r.list<MarkPoint>(u"points");
    stroke.width = r.number(u"width");
    return stroke;
}

template<> Annotation read<Annotation>(const QJsonValue& value, std::optional<Failure>& failure) {
    ObjectReader r(value, failure);
    Annotation a;
    a.id = r.uuid(u"id");
    a.number = r.integer(u"number", std::numeric_limits<qint64>::min(),
                         std::numeric_limits<qint64>::max());
    a.createdAt = r.timestamp(u"createdAt");
    a.comment = r.string(u"comment");
    a.displayID = quint32(r.integer(u"displayID", 0, std::numeric_limits<quint32>::max()));
    a.displayName = r.string(u"displayName");
    a.displaySize = r.record<MarkPoint>(u"displaySize");
    a.selection = r.record<MarkRect>(u"selection");
    a.crop = r.record<MarkRect>(u"crop");
    a.pixelsPerPoint = r.number(u"pixelsPerPoint");
    a.strokes = r.list<PenStroke>(u"strokes");
    return a;
}

template<>
QList<Annotation> read<QList<Annotation>>(const QJsonValue& value,
                                          std::optional<Failure>& failure) {
    return readList<Annotation>(value, failure);
}

} // namespace

Expected<QByteArray> encode(const MarkPoint& point) {
    return encodeValue(point);
}

Expected<QByteArray> encode(const MarkRect& rect) {
    return encodeValue(rect);
}

Expected<QByteArray> encode(const PenStroke& stroke) {
    return encodeValue(stroke);
}

Expected<QByteArray> encode(const Annotation& annotation) {
    return encodeValue(annotation);
}

Expected<QByteArray> encode(const QList<Annotation>& annotations) {
    return encodeValue(annotations);
}

template<typename T> Expected<T> decode(const QByteArray& json) {
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return Failure::of(JsonError::syntax);
    const QJsonValue top =
        document.isArray() ? QJsonValue(document.array()) : QJsonValue(document.object());
    std::optional<Failure> failure;
    T value = read<T>(top, failure);
    if (failure)
        return *failure;
    return value;
}

template Expected<MarkPoint> decode<MarkPoint>(const QByteArray&);
template Expected<MarkRect> decode<MarkRect>(const QByteArray&);
template Expected<PenStroke> decode<PenStroke>(const QByteArray&);
template Expected<Annotation> decode<Annotation>(const QByteArray&);
template Expected<QList<Annotation>> decode<QList<Annotation>>(const QByteArray&);

} // namespace tovik::AnnotationJson
