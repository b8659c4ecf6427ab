#pragma once

#include "common/AutoDate.h"
#include "common/VbFormat.h"
#include "core/MessageWrite.h"
#include "support/GuiDriver.h"
#include "support/Office.h"
#include "tzsndmsg/OfficeWatcher.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <functional>
#include <memory>

namespace tzsndmsg::testing {

using namespace Qt::StringLiterals;

// Two workstations of one office: the front desk (login FRONT at WS1, the fixture's own
// services) and the back office (login BACK at WS2), each with a watcher when asked.
class TwoWorkstations : public ::testing::Test {
protected:
    TwoWorkstations()
    {
        anna = office.addEmployee(u"Front"_s, u"Anna"_s, u"AF"_s, u"FRONT"_s);
        bob = office.addEmployee(u"Back"_s, u"Bob"_s, u"BB"_s, u"BACK"_s);
        ws1 = office.services();
        ws2 = office.workstation(u"WS2"_s, u"BACK"_s);
    }

    // Watchers tell through signal files only, or (PostgreSQL) through notices only.
    enum class Channel { Files, Notices, Both };

    OfficeWatcher::Options options(const QString& name, Channel channel = Channel::Files) const
    {
        OfficeWatcher::Options o;
        o.stateFile = states.filePath(name + u".json"_s);
        o.fileCheckMs = channel == Channel::Notices ? 0 : 200;
        o.fileSystemEvents = channel != Channel::Notices;
        o.notifications = channel != Channel::Files;
        o.reconnectFirstMs = 50;
        o.reconnectMaxMs = 400;
        return o;
    }

    // A message as the message window sends it: delivered from now on, unless `start` is set.
    core::OutgoingMessage message(tzglob::tzGlobal& from, qint32 sender, const QString& subject,
                                  const QString& toPersons, const QString& toComputers = QString())
    {
        core::OutgoingMessage m;
        m.headerChanged = true;
        m.cmDat = common::vb::format(common::AutoDate::fromDateTime(from.currentDateTime()),
                                     u"mm/dd/yyyy"_s);
        m.senderId = sender;
        m.cmCat = u"Message"_s;
        m.cmSubCat = u"EMS"_s;
        m.cmDoc = subject + u": the text of the message."_s;
        m.CMSubjec = subject;
        m.EvBroFla = m.EvBroStaDatFla = true;
        m.EvBroStaDat = m.cmDat;
        m.EvBroStaTim = common::vb::format(common::AutoDate::fromDateTime(from.currentDateTime()),
                                           u"h:nn am/pm"_s);
        m.personIds[0] = toPersons;
        m.computers[0] = toComputers;
        return m;
    }

    qint32 send(tzglob::tzGlobal& from, const core::OutgoingMessage& m)
    {
        const core::SaveResult saved = core::saveMessage(from, m);
        EXPECT_TRUE(saved.ok) << saved.error.toStdString();
        return saved.cmId;
    }
    // Anna's message to Bob, and it sent.
    core::OutgoingMessage toBob(const QString& subject)
    {
        return message(*ws1, anna, subject, QString::number(bob) + u',');
    }
    qint32 sendToBob(const QString& subject) { return send(*ws1, toBob(subject)); }
    // The first addressee row of a message.
    qint32 rowOf(qint32 cmId)
    {
        return office.scalar(u"select BroChkID from BroChkTable where BroChkLinID=?"_s, {cmId})
            .toInt();
    }
    // An addressee row's read mark: -1 confirmed, null unread.
    QVariant readMark(qint32 row)
    {
        return office.scalar(u"select BroChkDonDis from BroChkTable where BroChkID=?"_s, {row});
    }
    // A message taken out of the store whole: its addressees, its detail row and its header.
    void deleteMessage(qint32 cmId)
    {
        office.exec(u"delete from BroChkTable where BroChkLinID=?"_s, {cmId});
        office.exec(u"delete from EvTable where EvLinID=?"_s, {cmId});
        office.exec(u"delete from CMTable where cmID=?"_s, {cmId});
    }

    // Both workstations' clocks.
    void setNow(const QDateTime& now)
    {
        ws1->setFixedNow(now);
        ws2->setFixedNow(now);
    }

    Office office;
    QTemporaryDir states;
    qint32 anna = 0, bob = 0; // FRONT and BACK
    std::shared_ptr<tzglob::tzGlobal> ws1, ws2;
};

// Everything a watcher told, in order, as "kind cmID" texts.
class Told {
public:
    explicit Told(OfficeWatcher& watcher)
    {
        auto keep = [this](const OfficeNotice& n) { notices << n; };
        QObject::connect(&watcher, &OfficeWatcher::messageArrived, keep);
        QObject::connect(&watcher, &OfficeWatcher::deliveryStarted, keep);
        QObject::connect(&watcher, &OfficeWatcher::reminderDue, keep);
        QObject::connect(&watcher, &OfficeWatcher::snoozeDue, keep);
        QObject::connect(&watcher, &OfficeWatcher::logged,
                         [this](const QString& text) { logged << text; });
        QObject::connect(&watcher, &OfficeWatcher::unreadCountChanged,
                         [this](qint64 count) { counts << count; });
    }

    QStringList texts() const
    {
        QStringList out;
        for (const OfficeNotice& n : notices)
            out << OfficeNotice::kindName(n.kind) + u' ' + QString::number(n.cmID);
        return out;
    }
    QString last() const { return texts().value(texts().size() - 1); }

    // Waits (the event loop running) until `count` notices were told, at most `ms`.
    bool waitFor(int count, int ms = 5000) const
    {
        return waitUntil([&] { return notices.size() >= count; }, ms);
    }
    // Lets the event loop run `ms` (for checks that nothing more is told).
    static void settle(int ms = 400)
    {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < ms)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }

    QList<OfficeNotice> notices;
    QStringList logged;
    QList<qint64> counts;
};

// A watcher, started, with everything it told.
class Started : public Told {
public:
    explicit Started(std::unique_ptr<OfficeWatcher> watcher)
        : Told(*watcher), m_watcher(std::move(watcher))
    {
        QString error;
        EXPECT_TRUE(m_watcher->start(&error)) << error.toStdString();
    }
    OfficeWatcher* operator->() const { return m_watcher.get(); }
    OfficeWatcher& operator*() const { return *m_watcher; }

private:
    std::unique_ptr<OfficeWatcher> m_watcher;
};

} // namespace tzsndmsg::testing
