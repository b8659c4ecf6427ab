// A watcher in a signed-in office whose person's role goes away while it watches.
#include "WatcherFixture.h"
#include "tzsndmsg/SignedIn.h"
#include "tzsndmsg/db/Database.h"

#include <QUrl>

using namespace Qt::StringLiterals;

using namespace tzsndmsg;
using namespace tzsndmsg::testing;

namespace {

class SignedInWatcher : public TwoWorkstations {
protected:
    void SetUp() override
    {
        TZ_POSTGRES_ONLY(office) << ": database roles are PostgreSQL's; a SQLite office has none";
        QString error;
        ASSERT_TRUE(secureOffice(*office.db(), &error)) << error.toStdString();
        secured = true;
        ASSERT_TRUE(roleOfLogin(*office.db(), u"BACK"_s, role, &error)) << error.toStdString();
        QUrl url(office.databaseUrl());
        url.setUserName(role);
        tzglob::Config config = ws2->config();
        config.databaseUrl = url.toString();
        back = std::make_shared<tzglob::tzGlobal>(config);
        ASSERT_TRUE(back->open(&error)) << error.toStdString();
        ASSERT_EQ(back->currentLoginName(), u"BACK"_s);
    }

    void TearDown() override
    {
        back.reset();
        QString error;
        if (secured) {
            EXPECT_TRUE(unsecureOffice(*office.db(), &error)) << error.toStdString();
        }
    }

    bool secured = false;
    QString role;
    std::shared_ptr<tzglob::tzGlobal> back;
};

TEST_F(SignedInWatcher, ItsPersonsAndItsComputersArrivalsAreToldOnceAndNoOneElses)
{
    Started told(std::make_unique<OfficeWatcher>(back, options(u"back"_s, Channel::Both)));
    const qint32 toBob = sendToBob(u"Lunch"_s);
    send(*ws1, message(*ws1, anna, u"For Anna"_s, QString::number(anna) + u','));
    const qint32 toWs2 = send(*ws1, message(*ws1, anna, u"For the back desk"_s, {}, u"WS2\n"_s));
    ASSERT_TRUE(told.waitFor(2));
    Told::settle();
    EXPECT_EQ(told.texts(), (QStringList{u"arrived %1"_s.arg(toBob), u"arrived %1"_s.arg(toWs2)}));
    EXPECT_EQ(told.counts.value(told.counts.size() - 1), 2);
}

TEST_F(SignedInWatcher, ARoleDroppedWhileWatchingIsToldOnceAndNotAskedAgain)
{
    OfficeWatcher watcher(back, options(u"back"_s, Channel::Both));
    Told told(watcher);
    QStringList lost;
    int restored = 0;
    QObject::connect(&watcher, &OfficeWatcher::connectionLost,
                     [&](const QString& reason) { lost << reason; });
    QObject::connect(&watcher, &OfficeWatcher::connectionRestored, [&] { ++restored; });
    QString error;
    ASSERT_TRUE(watcher.start(&error)) << error.toStdString();
    ASSERT_TRUE(watcher.isConnected());

    office.exec(u"DROP ROLE \"%1\""_s.arg(role));
    watcher.lookNow();
    const auto saidSo = [&] {
        return (lost + told.logged).filter(u"can no longer sign in"_s).size();
    };
    waitUntil([&] { return saidSo() > 0; }, 5000);
    ASSERT_EQ(saidSo(), 1) << (lost + told.logged).join(u'\n').toStdString();
    EXPECT_TRUE((lost + told.logged)
                    .filter(u"can no longer sign in"_s)
                    .first()
                    .startsWith(u"BACK can no longer sign in"_s));
    EXPECT_LE(lost.size(), 1);
    EXPECT_FALSE(watcher.isConnected());

    // The pause between tries would be at most 400 ms: nothing more is said or tried, not even
    // once the role is back (the watcher is started again for that).
    Told::settle(1200);
    EXPECT_EQ(saidSo(), 1);
    ASSERT_TRUE(secureOffice(*office.db(), &error)) << error.toStdString();
    Told::settle(1000);
    EXPECT_EQ(restored, 0);
    EXPECT_LE(lost.size(), 1);
    EXPECT_EQ(saidSo(), 1);
    watcher.stop();
}

} // namespace
