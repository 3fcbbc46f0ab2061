#include "text/RTStyledText.h"

#include <gtest/gtest.h>

namespace {
RTTextAttributes linkTo(const char *url)
{
    RTTextAttributes a;
    a.link = QString::fromLatin1(url);
    return a;
}

// Runs must cover the text exactly, in order, and neighbours must differ.
void expectWellFormed(const RTStyledText &t)
{
    qsizetype next = 0;
    for (qsizetype i = 0; i < t.runs().size(); ++i) {
        const RTTextRun &r = t.runs()[i];
        EXPECT_EQ(r.start, next);
        EXPECT_GT(r.length, 0);
        if (i > 0) {
            EXPECT_FALSE(t.runs()[i - 1].attributes == r.attributes);
        }
        next = r.start + r.length;
    }
    EXPECT_EQ(next, t.text().size());
}
} // namespace

TEST(StyledText, RangesSplitMergeAndClip)
{
    RTStyledText t(QStringLiteral("0123456789"), {});
    t.setAttributes(2, 3, linkTo("a"));
    t.setAttributes(7, 10, linkTo("b")); // clipped at the end
    t.setAttributes(-3, 4, linkTo("c")); // clipped at the start: 0
    expectWellFormed(t);
    ASSERT_EQ(t.runs().size(), 5);
    EXPECT_EQ(t.runs()[0].length, 1);
    EXPECT_EQ(t.runs()[0].attributes.link, QStringLiteral("c"));
    EXPECT_EQ(t.attributesAt(4).link, QStringLiteral("a"));
    EXPECT_EQ(t.attributesAt(9).link, QStringLiteral("b"));

    // Overwriting the middle with what surrounds it merges the runs again.
    t.setAttributes(0, 10, {});
    t.modifyAttributes(3, 2, [](RTTextAttributes &a) { a.bold = true; });
    t.modifyAttributes(5, 2, [](RTTextAttributes &a) { a.bold = true; });
    expectWellFormed(t);
    ASSERT_EQ(t.runs().size(), 3);
    EXPECT_EQ(t.runs()[1].start, 3);
    EXPECT_EQ(t.runs()[1].length, 4);

    t.setAttributes(20, 2, linkTo("x"));
    t.setAttributes(3, 0, linkTo("x"));
    EXPECT_EQ(t.runs().size(), 3);
}

TEST(StyledText, InsertShiftsLaterRuns)
{
    RTStyledText t(QStringLiteral("abcdef"), {});
    t.setAttributes(2, 2, linkTo("l"));
    t.insert(0, QStringLiteral(">>"), linkTo("icon"));
    t.insert(5, QStringLiteral("_"), {}); // inside the link run: splits it
    expectWellFormed(t);
    EXPECT_EQ(t.text(), QStringLiteral(">>abc_def"));
    EXPECT_EQ(t.attributesAt(0).link, QStringLiteral("icon"));
    EXPECT_EQ(t.attributesAt(4).link, QStringLiteral("l"));
    EXPECT_TRUE(t.attributesAt(5).link.isEmpty());
    EXPECT_EQ(t.attributesAt(6).link, QStringLiteral("l"));

    RTStyledText empty;
    empty.insert(3, QStringLiteral("x"), {});
    EXPECT_EQ(empty.text(), QStringLiteral("x"));
    expectWellFormed(empty);
}
