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

// Comments are trimmed of Unicode spaces too; an empty one falls back to an instruction that
// names the strokes when there are some.
TEST(FeedbackPrompt, entriesByFileOrSheetNumber_strokeHeaderOnceAtTop_numberGapsKept) {
    const QList<Annotation> session{
        capture(1, QStringLiteral("\u00a0\u2003Button is\nmisaligned\u2029\r\n")),
        capture(3, "", {dot}), capture(1000, "%1 of %2", {dot, dot})};
    EXPECT_EQ(FeedbackPrompt::text(session, false).toStdString(),
              "Orange pen strokes mark details.\n\n"
              "#1 — tovik-001.png\nButton is\nmisaligned\n\n"
              "#3 — tovik-003.png\nReview the marked region and pen strokes.\n\n"
              "#1000 — tovik-1000.png\n%1 of %2");
    EXPECT_EQ(FeedbackPrompt::text(session, true).toStdString(),
              "Orange pen strokes mark details.\n\n"
              "#1 — Screenshot #1\nButton is\nmisaligned\n\n"
              "#3 — Screenshot #3\nReview the marked region and pen strokes.\n\n"
              "#1000 — Screenshot #1000\n%1 of %2");
    EXPECT_EQ(FeedbackPrompt::text(
                  {capture(1, "First"), capture(2, QStringLiteral(" \n\t\u2028\u3000"))}, false),
              "#1 — tovik-001.png\nFirst\n\n#2 — tovik-002.png\nReview the marked region.");
    EXPECT_EQ(FeedbackPrompt::text({}, false), "");
}

} // namespace
} // namespace tovik
