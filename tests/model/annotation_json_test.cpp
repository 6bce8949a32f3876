#include "model/annotation_json.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <bit>
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

QByteArray referenceFile(const char* name) {
    QFile file(QStringLiteral(TOVIK_TEST_DATA "/") + QLatin1String(name));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name;
    return file.readAll();
}

QByteArray encoded(const Annotation& annotation) {
    const Expected<QByteArray> json = AnnotationJson::encode(annotation);
    EXPECT_TRUE(json.ok()) << json.failure().message().toStdString();
    return json.ok() ? *json : QByteArray();
}

QByteArray compact(const QJsonObject& object) {
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

TEST(AnnotationsFile, session_matchesReferenceBytes) {
    const Expected<QByteArray> json = AnnotationJson::encode(twoCaptures());
    ASSERT_TRUE(json.ok());
    EXPECT_EQ(json->toStdString(), referenceFile("annotations_two_captures.json").toStdString());
}

TEST(AnnotationsFile, emptyContainers_writtenOnOneLine) {
    EXPECT_EQ(*AnnotationJson::encode(QList<Annotation>{}), "[]");
    EXPECT_EQ(*AnnotationJson::encode(PenStroke{{}, 3}),
              "{\n  \"points\" : [],\n  \"width\" : 3\n}");
}

TEST(AnnotationsFile, numbers_shortestFormThatReadsBack) {
    const struct {
        double value;
        const char* text;
    } cases[] = {
        {2, "2"},
        {0.1, "0.1"},
        {1.0 / 3, "0.3333333333333333"},
        {-1512.75, "-1512.75"},
        {123456.789, "123456.789"},
        {100000, "100000"},
        {1e20, "100000000000000000000"},
        {1e21, "1e+21"},
        {0.000001, "0.000001"},
        {1e-7, "1e-7"},
        {1.5e-10, "1.5e-10"},
        {-0.0, "-0"},
        {5e-324, "5e-324"},
        {std::numeric_limits<double>::max(), "1.7976931348623157e+308"},
    };
    for (const auto& c : cases) {
        const Expected<QByteArray> json = AnnotationJson::encode(MarkPoint{c.value, 0});
        ASSERT_TRUE(json.ok());
        EXPECT_EQ(json->toStdString(), "{\n  \"x\" : " + std::string(c.text) + ",\n  \"y\" : 0\n}");
        // The expected text itself reads back to the very same bits (sign of zero included),
        // read as JSON is, whatever the locale's decimal separator.
        double read = 0;
        std::from_chars(c.text, c.text + std::strlen(c.text), read);
        EXPECT_EQ(std::bit_cast<quint64>(read), std::bit_cast<quint64>(c.value)) << c.text;
    }
}

TEST(AnnotationsFile, nonFiniteNumber_failsWithoutText) {
    QList<Annotation> session = twoCaptures();
    session[1].pixelsPerPoint = std::numeric_limits<double>::infinity();
    Expected<QByteArray> json = AnnotationJson::encode(session);
    ASSERT_FALSE(json.ok());
    EXPECT_TRUE(json.failure().is(JsonError::nonFinite));

    session = twoCaptures();
    session[0].strokes[1].points[0].y = std::nan("");
    json = AnnotationJson::encode(session);
    ASSERT_FALSE(json.ok());
    EXPECT_TRUE(json.failure().is(JsonError::nonFinite));
}

TEST(AnnotationsFile, invalidTimestamp_fails) {
    Annotation annotation = twoCaptures().first();
    annotation.createdAt = QDateTime();
    const Expected<QByteArray> json = AnnotationJson::encode(annotation);
    ASSERT_FALSE(json.ok());
    EXPECT_TRUE(json.failure().is(JsonError::invalidTimestamp));
}

TEST(AnnotationJsonDecode, encodedRecords_roundTrip) {
    const QList<Annotation> session = twoCaptures();
    QList<Annotation> expected = session;
    expected[0].createdAt = expected[0].createdAt.addMSecs(-750); // whole seconds only

    const Expected<QList<Annotation>> all =
        AnnotationJson::decode<QList<Annotation>>(*AnnotationJson::encode(session));
    ASSERT_TRUE(all.ok()) << all.failure().message().toStdString();
    EXPECT_EQ(*all, expected);
    EXPECT_EQ(all->first().createdAt.timeSpec(), Qt::UTC);

    const Expected<Annotation> one = AnnotationJson::decode<Annotation>(encoded(expected[1]));
    ASSERT_TRUE(one.ok());
    EXPECT_EQ(*one, expected[1]);
    const PenStroke stroke = expected[0].strokes[0];
    EXPECT_EQ(*AnnotationJson::decode<PenStroke>(*AnnotationJson::encode(stroke)), stroke);
    EXPECT_EQ(*AnnotationJson::decode<MarkRect>(*AnnotationJson::encode(expected[0].crop)),
              expected[0].crop);
}

TEST(AnnotationJsonDecode, anyMissingMember_fails) {
    const QJsonObject full = QJsonDocument::fromJson(encoded(twoCaptures().first())).object();
    ASSERT_EQ(full.size(), 11);
    for (const QString& key : full.keys()) {
        QJsonObject partial = full;
        partial.remove(key);
        const Expected<Annotation> decoded = AnnotationJson::decode<Annotation>(compact(partial));
        ASSERT_FALSE(decoded.ok()) << key.toStdString();
        EXPECT_TRUE(decoded.failure().is(JsonError::missingMember)) << key.toStdString();
    }

    QJsonObject nested = full;
    QJsonObject crop = nested[u"crop"].toObject();
    crop.remove(QStringLiteral("width"));
    nested[u"crop"] = crop;
    EXPECT_TRUE(
        AnnotationJson::decode<Annotation>(compact(nested)).failure().is(JsonError::missingMember));

    const Expected<PenStroke> stroke =
        AnnotationJson::decode<PenStroke>(R"({"points":[{"x":1,"y":2},{"x":3}],"width":3})");
    ASSERT_FALSE(stroke.ok());
    EXPECT_TRUE(stroke.failure().is(JsonError::missingMember));
}

TEST(AnnotationJsonDecode, wrongJsonType_fails) {
    const QJsonObject full = QJsonDocument::fromJson(encoded(twoCaptures().first())).object();
    const struct {
        const char* key;
        QJsonValue value;
    } cases[] = {
        {"number", QStringLiteral("1")},
        {"number", 1.5},
        {"displayID", -1},
        {"displayID", 4294967296.0},
        {"comment", 7},
        {"displayName", QJsonValue::Null},
        {"pixelsPerPoint", QStringLiteral("2")},
        {"crop", QJsonArray{1, 2, 3, 4}},
        {"strokes", QJsonObject()},
        {"displaySize", QJsonObject{{"x", true}, {"y", 982}}},
    };
    for (const auto& c : cases) {
        QJsonObject changed = full;
        changed[QLatin1String(c.key)] = c.value;
        const Expected<Annotation> decoded = AnnotationJson::decode<Annotation>(compact(changed));
        ASSERT_FALSE(decoded.ok()) << c.key;
        EXPECT_TRUE(decoded.failure().is(JsonError::wrongType)) << c.key;
    }
    EXPECT_TRUE(AnnotationJson::decode<MarkPoint>("[1, 2]").failure().is(JsonError::wrongType));
}

TEST(AnnotationJsonDecode, badIdentifierOrDate_fails) {
    const QJsonObject full = QJsonDocument::fromJson(encoded(twoCaptures().first())).object();
    const struct {
        const char* key;
        const char* text;
    } cases[] = {
        {"id", "not-a-uuid"},
        {"id", "{6F9619FF-8B86-D011-B42D-00C04FC964FF}"},
        {"createdAt", "yesterday"},
        {"createdAt", "2026-01-31T09:05:00"}, // no zone: would silently become local time
    };
    for (const auto& c : cases) {
        QJsonObject changed = full;
        changed[QLatin1String(c.key)] = QLatin1String(c.text);
        const Expected<Annotation> decoded = AnnotationJson::decode<Annotation>(compact(changed));
        ASSERT_FALSE(decoded.ok()) << c.text;
        EXPECT_TRUE(decoded.failure().is(JsonError::invalidValue)) << c.text;
    }
}

TEST(AnnotationJsonDecode, malformedText_fails) {
    const Expected<MarkRect> decoded = AnnotationJson::decode<MarkRect>("{\"x\": 1,");
    ASSERT_FALSE(decoded.ok());
    EXPECT_TRUE(decoded.failure().is(JsonError::syntax));
}

} // namespace
} // namespace tovik
