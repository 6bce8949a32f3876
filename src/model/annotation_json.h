#pragma once

#include "model/annotation.h"
#include "model/failure.h"
#include "model/json_error.h"

#include <QByteArray>
#include <QList>

namespace tovik {

// JSON form of the annotation records: each record is an object whose members are exactly
// its fields, under the same names, none optional. Names are sorted; UUIDs are upper-case
// with hyphens; timestamps are ISO 8601 in UTC with whole seconds.
namespace AnnotationJson {

// The record as pretty-printed JSON text (see PrettyJsonWriter). Fails with
// JsonError::nonFinite or JsonError::invalidTimestamp, never with partial text.
Expected<QByteArray> encode(const MarkPoint& point);
Expected<QByteArray> encode(const MarkRect& rect);
Expected<QByteArray> encode(const PenStroke& stroke);
Expected<QByteArray> encode(const Annotation& annotation);
// The bytes of annotations.json: an array of the session's records, in the given order.
Expected<QByteArray> encode(const QList<Annotation>& annotations);

// Reads JSON text back into T (one of the types above). Fails with JsonError::syntax,
// missingMember, wrongType or invalidValue; members beyond the fields are ignored.
template<typename T> Expected<T> decode(const QByteArray& json);

extern template Expected<MarkPoint> decode<MarkPoint>(const QByteArray&);
extern template Expected<MarkRect> decode<MarkRect>(const QByteArray&);
extern template Expected<PenStroke> decode<PenStroke>(const QByteArray&);
extern template Expected<Annotation> decode<Annotation>(const QByteArray&);
extern template Expected<QList<Annotation>> decode<QList<Annotation>>(const QByteArray&);

} // namespace AnnotationJson
} // namespace tovik
