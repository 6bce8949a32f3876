// annotations.json as read back: any bytes give a value or a JsonError, and what the encoder
// writes for a decoded value decodes to text it writes again unchanged.
#include "fuzz_check.h"
#include "model/annotation_json.h"

#include <cstddef>
#include <cstdint>

namespace {

using namespace tovik;

bool isDecodeError(const Failure& failure) {
    return failure.is(JsonError::syntax) || failure.is(JsonError::missingMember) ||
           failure.is(JsonError::wrongType) || failure.is(JsonError::invalidValue);
}

template<typename T> void roundTrip(const QByteArray& input) {
    const Expected<T> decoded = AnnotationJson::decode<T>(input);
    if (!decoded) {
        FUZZ_CHECK(isDecodeError(decoded.failure()));
        return;
    }
    const Expected<QByteArray> text = AnnotationJson::encode(*decoded);
    if (!text) {
        // Numbers beyond double's range read as infinity; dates may leave ISO 8601's years.
        FUZZ_CHECK(text.failure().is(JsonError::nonFinite) ||
                   text.failure().is(JsonError::invalidTimestamp));
        return;
    }
    const Expected<T> again = AnnotationJson::decode<T>(*text);
    FUZZ_CHECK(again.ok());
    const Expected<QByteArray> textAgain = AnnotationJson::encode(*again);
    FUZZ_CHECK(textAgain.ok() && *textAgain == *text);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray input =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    roundTrip<QList<Annotation>>(input);
    roundTrip<Annotation>(input);
    roundTrip<PenStroke>(input);
    return 0;
}
