#include "model/annotation.h"

#include <gtest/gtest.h>

namespace tovik {
namespace {

Annotation withComment(QString comment, QList<PenStroke> strokes = {})
{
    Annotation a;
    a.number = 1;
    a.comment = std::move(comment);
    a.strokes = std::move(strokes);
    return a;
}

TEST(AnnotationText, fileName_padsToThreeDigitsOnly)
{
    Annotation a;
    a.number = 1;
    EXPECT_EQ(a.fileName(), "tovik-001.png");
    a.number = 1000;
    EXPECT_EQ(a.fileName(), "tovik-1000.png");
}

TEST(AnnotationText, instruction_emptyCommentFallsBackByStrokes)
{
    EXPECT_EQ(withComment(" \n\t ").instruction(), "Review the marked region.");
    EXPECT_EQ(withComment("", {PenStroke{{{1, 2}}, 3}}).instruction(),
              "Review the marked region and pen strokes.");
    EXPECT_EQ(withComment(" Fix this \n").instruction(), "Fix this");
}

} // namespace
} // namespace tovik
