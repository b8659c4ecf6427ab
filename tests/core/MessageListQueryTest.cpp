// The list's sort order and its comments cell, without a window.
#include "core/MessageListQuery.h"

#include "support/TestPrinters.h"

#include <gtest/gtest.h>

using namespace tzsndmsg;
using namespace tzsndmsg::core;

namespace {

TEST(SortOrder, StoredWithCmidAndKeptWhenEmpty)
{
    EXPECT_EQ(nextSortOrder("", ""), "CMDat, CMTim, CMID");
    EXPECT_EQ(nextSortOrder("", "CmSubjec"), "CmSubjec, CMID");
    EXPECT_EQ(nextSortOrder("CmSubjec, CMID", ""), "CmSubjec, CMID");
    EXPECT_EQ(nextSortOrder("x", "cmWho, cmid"), "cmWho, cmid");
    EXPECT_EQ(nextSortOrder("x", "CmSubjec DESC"), "CmSubjec DESC, CMID");
}

TEST(CommentsCell, CutTrimmedAndLineBreaksAsBlanks)
{
    EXPECT_EQ(commentsCellText(QVariant()), "");
    EXPECT_EQ(commentsCellText(QString("  Call back\r\nat noon\nplease  ")),
              "Call back at noon please");
    const QString longBody = QString(499, 'a') + "bc";
    EXPECT_EQ(commentsCellText(longBody), QString(499, 'a') + "b");
    // The cut comes before the trim: 500 characters of which the last are blanks.
    EXPECT_EQ(commentsCellText(QString(498, 'x') + "   tail"), QString(498, 'x'));
}

} // namespace
