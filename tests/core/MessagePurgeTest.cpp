// Purging from the core: the purge bit toggled on a batch of messages, the other bits kept.
#include "core/MessagePurge.h"

#include "support/Office.h"

namespace tzsndmsg::core {
namespace {

using testing::Office;

TEST(MessagePurge, ABatchTogglesOnlyThePurgeBitAndCommitsAtTheEnd)
{
    Office office;
    const struct {
        const char* stored;
        qint64 toggled;
    } cases[] = {{nullptr, 256}, {"0", 256}, {"3", 259}, {"257", 1}, {"256", 0}};
    QList<qint32> ids;
    for (const auto& c : cases)
        ids << qint32(
            office.insert("CMTable", "cmID", {"CMSubjec", "CMPurFla"},
                          {"Purge me", c.stored ? QVariant(QString::fromLatin1(c.stored))
                                                : QVariant(QMetaType::fromType<QString>())}));
    {
        PurgeBatch batch(*office.services());
        for (int i = 0; i < ids.size(); ++i) {
            const QVariant stored =
                office.scalar("select CMPurFla from CMTable where cmID=?", {ids[i]});
            EXPECT_TRUE(batch.toggle(ids[i], stored.toLongLong())) << i;
        }
        EXPECT_TRUE(office.services()->messageStoreConnection()->inTransaction());
        EXPECT_TRUE(batch.finish());
        EXPECT_FALSE(office.services()->messageStoreConnection()->inTransaction());
    }
    for (int i = 0; i < ids.size(); ++i)
        EXPECT_EQ(office.scalar("select CMPurFla from CMTable where cmID=?", {ids[i]}).toLongLong(),
                  cases[i].toggled)
            << (cases[i].stored ? cases[i].stored : "null");
}

} // namespace
} // namespace tzsndmsg::core
