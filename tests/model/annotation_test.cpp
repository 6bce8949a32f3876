#include "model/annotation.h"

#include <gtest/gtest.h>

namespace tovik {
namespace {

Annotation withComment(QString comment, QList<PenStroke> strokes = {}) {
    Annotation a;
    a.number = 1;
    a.comment = std::move(comment);
    a.strokes = std::move(strokes);
    return a;
}

TEST(AnnotationText, fileName_padsToThreeDigitsOnly) {
    Annotation a;
    a.number = 1;
    EXPECT_EQ(a.fileName(), "tovik-001.png");
    a.number = 1000;
    EXPECT_EQ(a.fileName(), "tovik-1000.png");
}

TEST(AnnotationText, instruction_emptyCommentFallsBackByStrokes) {
    EXPECT_EQ(withComment(" \n\t ").instruction(), "Review the marked region.");
    EXPECT_EQ(withComment("", {PenStroke{{{1, 2}}, 3}}).instruction(),
              "Review the marked region and pen strokes.");
    EXPECT_EQ(withComment(" Fix this \n").instruction(), "Fix this");
}

TEST(AnnotationText, instruction_trimsUnicodeSpacesKeepsInnerBreaks) {
    EXPECT_EQ(withComment(QStringLiteral("\u00a0\u2003Fix\nthis\u2029\r\n")).instruction(),
              "Fix\nthis");
    EXPECT_EQ(withComment(QStringLiteral("\u2028\u3000")).instruction(),
              "Review the marked region.");
}

TEST(AnnotationRecord, construction_normalisesRectsAndKeepsDisplaySize) {
    const Annotation a(QUuid::createUuid(), 4, QDateTime::currentDateTimeUtc(), "c", 7, "Screen",
                       QSizeF(1512, 982), QRectF(60, 70, -20, -50), QRectF(40, 20, 20, 50), 2, {});
    EXPECT_EQ(a.displaySize, (MarkPoint{1512, 982}));
    EXPECT_EQ(a.selection, (MarkRect{40, 20, 20, 50}));
    EXPECT_EQ(a.crop, a.selection);
}

TEST(AnnotationRecord, equality_comparesEveryField) {
    Annotation a = withComment("same", {PenStroke{{{1, 2}, {3, 4}}, 3}});
    Annotation b = a;
    EXPECT_EQ(a, b);
    b.strokes[0].points[1].y = 4.5;
    EXPECT_NE(a, b);
    b = a;
    b.createdAt = QDateTime::fromMSecsSinceEpoch(1);
    EXPECT_NE(a, b);
}

TEST(CapturedItemSize, byteCount_isRowBytesTimesHeight) {
    CapturedItem item;
    item.image = QImage(10, 3, QImage::Format_ARGB32_Premultiplied);
    EXPECT_EQ(item.byteCount(), 40 * 3);
    item.image = QImage(3, 2, QImage::Format_RGB888); // rows padded to 4 bytes
    EXPECT_EQ(item.byteCount(), 12 * 2);
}

} // namespace
} // namespace tovik
