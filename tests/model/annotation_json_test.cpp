#include "model/annotation_json.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace tovik {
namespace {

// Captures 1 and 3 of a session whose capture 2 was removed.
QList<Annotation> twoCaptures() {
    const QDateTime confirmed(QDate(2026, 1, 31), QTime(10, 5, 0, 750), QTimeZone(3600));
    Annotation first(QUuid::fromString(QStringLiteral("6f9619ff-8b86-d011-b42d-00c04fc964ff")), 1,
                     confirmed,
                     QStringLiteral("Button is \"misaligned\"\nsee a/b \\ c\tGröße ✓\x01"),
                     69733378, QStringLiteral("Built-in Retina Display"), QSizeF(1512, 982),
                     QRectF(1540, 120.5, -1500, -100), QRectF(40, 20.5, 1472, 100), 2,
                     {PenStroke{{{50, 30}, {60.25, 40.125}}, 3}, PenStroke{{{100, 100}}, 3}});
    Annotation third(QUuid::fromString(QStringLiteral("00000000-0000-4000-8000-0000000000ab")), 3,
                     QDateTime(QDate(2026, 2, 1), QTime(23, 59, 59), Qt::UTC), QString(),
                     4294967295u, QStringLiteral("DELL U2720Q / HDMI-1"), QSizeF(2560, 1440),
                     QRectF(100.5, 200.25, 300, 150.75), QRectF(100.5, 200.25, 300, 150.75), 1.5,
                     {});
    return {first, third};
}

TEST(AnnotationsFile, session_matchesReferenceBytes_emptyContainersOnOneLine) {
    QFile reference(QStringLiteral(TOVIK_TEST_DATA "/annotations_two_captures.json"));
    ASSERT_TRUE(reference.open(QIODevice::ReadOnly));
    EXPECT_EQ(AnnotationJson::encode(twoCaptures()).value().toStdString(),
              reference.readAll().toStdString());
    EXPECT_EQ(*AnnotationJson::encode(QList<Annotation>{}), "[]");
    EXPECT_EQ(*AnnotationJson::encode(PenStroke{{}, 3}),
              "{\n  \"points\" : [],\n  \"width\" : 3\n}");
}

TEST(AnnotationsFile, numbers_shortestFormThatReadsBack_nonFiniteOrInvalidTimestampFails) {
    // Each text reads back to its number as JSON is read (sign of zero included), whatever the
    // locale's decimal separator, and is what that number is written as.
    for (const char* text :
         {"2", "0.1", "0.3333333333333333", "-1512.75", "100000000000000000000", "1e+21",
          "0.000001", "1e-7", "1.5e-10", "-0", "5e-324", "1.7976931348623157e+308"}) {
        double value = 1;
        std::from_chars(text, text + std::strlen(text), value);
        EXPECT_EQ(AnnotationJson::encode(MarkPoint{value, 0}).value().toStdString(),
                  "{\n  \"x\" : " + std::string(text) + ",\n  \"y\" : 0\n}");
    }

    QList<Annotation> session = twoCaptures();
    session[1].pixelsPerPoint = std::numeric_limits<double>::infinity();
    EXPECT_TRUE(AnnotationJson::encode(session).failure().is(JsonError::nonFinite));
    session = twoCaptures();
    session[0].strokes[1].points[0].y = std::nan("");
    EXPECT_TRUE(AnnotationJson::encode(session).failure().is(JsonError::nonFinite));
    session[0].createdAt = QDateTime();
    EXPECT_TRUE(AnnotationJson::encode(session[0]).failure().is(JsonError::invalidTimestamp));
}

TEST(AnnotationJsonDecode, encodedRecordsRoundTrip_missingMemberWrongTypeBadValueOrSyntaxFail) {
    const QList<Annotation> session = twoCaptures();
    QList<Annotation> expected = session;
    expected[0].createdAt = expected[0].createdAt.addMSecs(-750); // whole seconds only

    const Expected<QList<Annotation>> all =
        AnnotationJson::decode<QList<Annotation>>(*AnnotationJson::encode(session));
    ASSERT_TRUE(all.ok()) << all.failure().message().toStdString();
    EXPECT_EQ(*all, expected);
    EXPECT_EQ(all->first().createdAt.timeSpec(), Qt::UTC);

    const QJsonObject full =
        QJsonDocument::fromJson(*AnnotationJson::encode(twoCaptures().first())).object();
    const auto decode = [](const QJsonObject& object) {
        return AnnotationJson::decode<Annotation>(QJsonDocument(object).toJson());
    };
    ASSERT_EQ(full.size(), 11);
    for (const QString& key : full.keys()) {
        QJsonObject partial = full;
        partial.remove(key);
        EXPECT_TRUE(decode(partial).failure().is(JsonError::missingMember)) << key.toStdString();
    }
    QJsonObject nested = full;
    QJsonObject crop = nested[u"crop"].toObject();
    crop.remove(QStringLiteral("width"));
    nested[u"crop"] = crop;
    EXPECT_TRUE(decode(nested).failure().is(JsonError::missingMember));

    const struct {
        const char* key;
        QJsonValue value;
        JsonError error;
    } cases[] = {
        {"number", QStringLiteral("1"), JsonError::wrongType},
        {"number", 1.5, JsonError::wrongType},
        {"displayID", -1, JsonError::wrongType},
        {"displayID", 4294967296.0, JsonError::wrongType},
        {"comment", 7, JsonError::wrongType},
        {"displayName", QJsonValue::Null, JsonError::wrongType},
        {"pixelsPerPoint", QStringLiteral("2"), JsonError::wrongType},
        {"crop", QJsonArray{1, 2, 3, 4}, JsonError::wrongType},
        {"strokes", QJsonObject(), JsonError::wrongType},
        {"displaySize", QJsonObject{{"x", true}, {"y", 982}}, JsonError::wrongType},
        {"id", QStringLiteral("not-a-uuid"), JsonError::invalidValue},
        {"id", QStringLiteral("{6F9619FF-8B86-D011-B42D-00C04FC964FF}"), JsonError::invalidValue},
        {"createdAt", QStringLiteral("yesterday"), JsonError::invalidValue},
        // No zone: would silently become local time.
        {"createdAt", QStringLiteral("2026-01-31T09:05:00"), JsonError::invalidValue}};
    for (const auto& c : cases) {
        QJsonObject changed = full;
        changed[QLatin1String(c.key)] = c.value;
        EXPECT_TRUE(decode(changed).failure().is(c.error)) << c.key;
    }
    EXPECT_TRUE(AnnotationJson::decode<PenStroke>(R"({"points":[{"x":1,"y":2},{"x":3}],"width":3})")
                    .failure()
                    .is(JsonError::missingMember));
    EXPECT_TRUE(AnnotationJson::decode<MarkPoint>("[1, 2]").failure().is(JsonError::wrongType));
    EXPECT_TRUE(AnnotationJson::decode<MarkRect>("{\"x\": 1,").failure().is(JsonError::syntax));
}

} // namespace
} // namespace tovik
