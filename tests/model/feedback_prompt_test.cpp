#include "model/feedback_prompt.h"

#include <gtest/gtest.h>

namespace tovik {
namespace {

Annotation capture(qint64 number, QString comment, QList<PenStroke> strokes = {}) {
    Annotation a;
    a.number = number;
    a.comment = std::move(comment);
    a.strokes = std::move(strokes);
    return a;
}

const PenStroke dot{{{12, 12}}, 3};

std::string text(const QList<Annotation>& annotations, bool contactSheet = false) {
    return FeedbackPrompt::text(annotations, contactSheet).toStdString();
}

TEST(FeedbackPrompt, twoCaptures_filesExport) {
    EXPECT_EQ(text({capture(1, "Button is misaligned"), capture(2, "", {dot})}),
              "Orange pen strokes mark details.\n\n"
              "#1 — tovik-001.png\nButton is misaligned\n\n"
              "#2 — tovik-002.png\nReview the marked region and pen strokes.");
}

TEST(FeedbackPrompt, twoCaptures_contactSheetLabelsByNumber) {
    EXPECT_EQ(text({capture(1, "Button is misaligned"), capture(2, "", {dot})}, true),
              "Orange pen strokes mark details.\n\n"
              "#1 — Screenshot #1\nButton is misaligned\n\n"
              "#2 — Screenshot #2\nReview the marked region and pen strokes.");
}

TEST(FeedbackPrompt, withoutStrokes_noHeaderAndNumbersKeepGaps) {
    EXPECT_EQ(text({capture(1, "First"), capture(3, "Third")}),
              "#1 — tovik-001.png\nFirst\n\n#3 — tovik-003.png\nThird");
}

TEST(FeedbackPrompt, strokesInSeveralCaptures_headerOnceAtTop) {
    EXPECT_EQ(text({capture(1, "a", {dot}), capture(2, "b"), capture(4, "c", {dot, dot})}),
              "Orange pen strokes mark details.\n\n"
              "#1 — tovik-001.png\na\n\n#2 — tovik-002.png\nb\n\n#4 — tovik-004.png\nc");
}

TEST(FeedbackPrompt, fourDigitNumber_notTruncated) {
    EXPECT_EQ(text({capture(1000, "x")}), "#1000 — tovik-1000.png\nx");
}

TEST(FeedbackPrompt, comments_trimmedButInnerLinesKept) {
    EXPECT_EQ(text({capture(1, "  two\nlines  ")}), "#1 — tovik-001.png\ntwo\nlines");
    EXPECT_EQ(text({capture(2, " \n\t \n")}), "#2 — tovik-002.png\nReview the marked region.");
    // Placeholder-like text in a comment is not substituted.
    EXPECT_EQ(text({capture(3, "%1 of %2")}, true), "#3 — Screenshot #3\n%1 of %2");
}

TEST(FeedbackPrompt, emptySession_emptyText) {
    EXPECT_EQ(text({}), "");
    EXPECT_EQ(text({}, true), "");
}

} // namespace
} // namespace tovik
