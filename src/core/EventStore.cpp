#include "core/EventStore.h"

#include "common/AutoDate.h"
#include "common/VbFormat.h"
#include "core/Message.h"
#include "core/MessageWrite.h"
#include "core/StationSignal.h"
#include "fields/FieldValue.h"
#include "store/MessageStore.h"
#include "tzsndmsg/HostServices.h"
#include "tzsndmsg/db/Database.h"
#include "tzsndmsg/db/Recordset.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <algorithm>
#include <limits>

namespace tzsndmsg::events {

namespace {

QVariant valueOf(const db::Recordset& rs, const char* column)
{
    const QString name = QString::fromLatin1(column);
    if (!rs.hasField(name))
        return {};
    try {
        return rs.value(name);
    } catch (const db::FieldError&) {
        return {};
    }
}

QString textOf(const db::Recordset& rs, const char* column)
{
    return common::vb::toText(valueOf(rs, column));
}

qint64 numberOf(const db::Recordset& rs, const char* column)
{
    const QVariant v = valueOf(rs, column);
    if (v.isNull())
        return 0;
    bool ok = false;
    const qint64 n = v.toLongLong(&ok);
    if (ok)
        return n;
    const auto d = common::vb::toNumber(v.toString());
    return d ? common::vb::roundHalfEven(*d) : 0;
}

QDate dateOf(const db::Recordset& rs, const char* column)
{
    const QVariant v = valueOf(rs, column);
    if (v.isNull() || v.toString().trimmed().isEmpty())
        return {};
    const auto d = common::vb::toDate(v);
    return d ? d->date() : QDate();
}

QTime timeOf(const db::Recordset& rs, const char* column)
{
    const QVariant v = valueOf(rs, column);
    if (v.isNull() || v.toString().trimmed().isEmpty())
        return {};
    const auto d = common::vb::toDate(v);
    return d ? d->time() : QTime();
}

// A column of the current row with its type's empty value for null; `missing` when the row
// has no such column.
QVariant fieldOf(const db::Recordset& rs, const char* column, const QVariant& missing = {})
{
    try {
        return common::FieldValueOrZero(rs, QString::fromLatin1(column));
    } catch (const db::FieldError&) {
        return missing;
    }
}

// The ids of a list ("12,40,"), through the services' tokenizer, up to the first 0.
QList<qint32> idsOf(HostServices& services, const QString& list)
{
    QList<qint32> ids;
    int pos = 0;
    for (;;) {
        const qint32 id = services.nextToken(list, QStringLiteral(","), pos).trimmed().toInt();
        if (id == 0)
            break;
        ids << id;
    }
    return ids;
}

std::array<QString, 2> readAttendeeLists(HostServices& services, db::Database& db, qint64 cmId)
{
    std::array<QString, 2> lists;
    db::Recordset rs = db.query(
        services.adaptSqlFor(db, QStringLiteral("Select * from BroChkTable where BroChkLinID=? "
                                                "And (BroChkTyp = 0 Or BroChkTyp = 1) "
                                                "order by BroChkID")),
        {cmId});
    if (!rs.isOpen())
        return lists;
    for (rs.moveFirst(); !rs.eof(); rs.moveNext()) {
        const qint64 pid = common::FieldValueOrZero(rs, QStringLiteral("BroChkPID")).toLongLong();
        if (pid == 0)
            continue;
        const qint64 typ = common::FieldValueOrZero(rs, QStringLiteral("BroChkTyp")).toLongLong();
        lists[typ == 0 ? 0 : 1] += QString::number(pid) + QLatin1Char(',');
    }
    return lists;
}

// The attendee rows of each kind made to match the lists.
bool writeAttendeeRows(HostServices& services, db::Database& db, qint64 cmId,
                       const std::array<QString, 2>& lists, QString* error)
{
    for (int index = 0; index < 2; ++index) {
        QString work = QLatin1Char(',') + lists[index];
        db::Recordset rs =
            db.query(services.adaptSqlFor(
                         db, QStringLiteral("Select * from BroChkTable where BroChkLinID=?")),
                     {cmId});
        if (!rs.isOpen()) {
            *error = QStringLiteral("The attendees of the event cannot be read.");
            return false;
        }
        for (rs.moveFirst(); !rs.eof(); rs.moveNext()) {
            if (common::FieldValueOrZero(rs, QStringLiteral("BroChkTyp")).toLongLong() != index)
                continue;
            qint64 rowId = common::FieldValueOrZero(rs, QStringLiteral("BroChkID")).toLongLong();
            const QString key =
                QLatin1Char(',') +
                QString::number(
                    common::FieldValueOrZero(rs, QStringLiteral("BroChkPid")).toLongLong()) +
                QLatin1Char(',');
            const int at = work.indexOf(key);
            if (at >= 0) {
                work.remove(at + 1, key.size() - 1);
                if (!services.writeRecord(
                        core::MessageStoreKind, QStringLiteral("BroChkTable"),
                        QStringLiteral("BroChkID"), rowId,
                        {QStringLiteral("BroChkDonDis"), QStringLiteral("BroChkSno")},
                        {QStringLiteral("0"), QStringLiteral("0")}, error))
                    return false;
                // An office-wide event rewrites a row per employee: keep the window painting.
                // Clicks and keys wait for the end of the save: one taken now would load
                // another event into the panel while this one is still being written.
                QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
                core::WriteStationSignal(services, QStringLiteral("CMBC"));
            } else if (!db.exec(services.adaptSqlFor(
                                    db, QStringLiteral("delete from BroChkTable where BroChkID=?")),
                                {rowId}, error)) {
                return false;
            }
        }
        // Whatever is left was added.
        if (work.size() > 1) {
            for (qint32 id : idsOf(services, work.mid(1))) {
                qint64 newKey = 0;
                if (!services.writeRecord(
                        core::MessageStoreKind, QStringLiteral("BroChkTable"),
                        QStringLiteral("BroChkID"), newKey,
                        {QStringLiteral("BroChkLinID"), QStringLiteral("BroChkPid"),
                         QStringLiteral("BroChkTyp")},
                        {QString::number(cmId), QString::number(id), QString::number(index)},
                        error))
                    return false;
                core::WriteStationSignal(services, QStringLiteral("CMBC"));
            }
        }
    }
    return true;
}

void repeatColumns(const EventRepeat& repeat, QStringList& names, QStringList& texts)
{
    names << QStringLiteral("evBroReaFla");
    texts << (repeat.recurring ? QStringLiteral("-1") : QStringLiteral("0"));
    if (!repeat.recurring)
        return;
    // A count is stored when it converts to the column's whole number; one that does not fit
    // is left out, as one that is not a number is, rather than the whole row being refused
    // after the header was written.
    const auto fits = [](double n) {
        return n >= double(std::numeric_limits<qint32>::min()) &&
               n <= double(std::numeric_limits<qint32>::max());
    };
    if (const auto every = common::vb::toNumber(repeat.every);
        every && fits(double(common::vb::roundHalfEven(*every)))) {
        names << QStringLiteral("evBroReaEve");
        texts << QString::number(common::vb::roundHalfEven(*every));
    }
    names << QStringLiteral("evBroReaTyp");
    texts << QString::number(repeat.unit);
    if (!repeat.until.isEmpty()) {
        names << QStringLiteral("EvBroEndDat");
        texts << repeat.until;
    }
    if (repeat.numberOfTimes && fits(double(*repeat.numberOfTimes))) {
        names << QStringLiteral("evBroNumOfTim");
        texts << QString::number(*repeat.numberOfTimes);
    }
}

} // namespace

QString eventListStatement(const QString& ownerFilter, const QString& order)
{
    return QStringLiteral("SELECT CMTable.*, EVTable.*") + QStringLiteral(" FROM ") +
           QStringLiteral("CMTable LEFT JOIN EVTable ON CMTable.cmID = EVTable.EVLinID") +
           QStringLiteral(" WHERE ((CMTable.cmTyp)>=0 or (CMTable.cmTyp is Null)) and "
                          "EvTable.EvTyp=1") +
           ownerFilter + QStringLiteral(" order by ") +
           (order.isEmpty() ? QStringLiteral("CMDat, CMTim, CMID") : order);
}

StoredEvent readStoredEvent(const db::Recordset& rs)
{
    StoredEvent e;
    e.cmId = numberOf(rs, "cmID");
    e.title = textOf(rs, "CMSubjec");
    e.description = textOf(rs, "cmDoc");
    e.rule.start = dateOf(rs, "EvBroStaDat");
    e.rule.recurring = numberOf(rs, "EvBroReaFla") == -1;
    e.rule.every = int(std::clamp<qint64>(numberOf(rs, "EvBroReaEve"), 1, 1000000));
    e.rule.unit = int(numberOf(rs, "EvBroReaTyp"));
    e.rule.numberOfTimes =
        int(std::clamp<qint64>(numberOf(rs, "EvBroNumOfTim"), -1000, 1000000000));
    e.rule.until = dateOf(rs, "EvBroEndDat");
    e.from = timeOf(rs, "EvBroStaTim");
    e.to = timeOf(rs, "evBroDat");
    const QDate made = dateOf(rs, "cmDat");
    const QTime at = timeOf(rs, "cmTim");
    e.createdStamp = made.isValid() ? made.toString(QStringLiteral("yyyyMMdd")) +
                                          (at.isValid() ? at.toString(QStringLiteral("HHmmss"))
                                                        : QStringLiteral("000000"))
                                    : QStringLiteral("0");
    return e;
}

std::optional<QList<EventListRow>> readEventList(HostServices& services,
                                                 std::optional<qint32> owner, const QString& order,
                                                 QString* error)
{
    auto db = services.connectionByIndex(core::MessageStoreKind);
    if (!db) {
        if (error)
            *error = QStringLiteral("The message store cannot be opened.");
        return std::nullopt;
    }
    const QString ownerFilter = !owner ? QString()
                                : *owner == 0
                                    ? QStringLiteral(" and 1=0")
                                    : QStringLiteral(" and EvPID=") + QString::number(*owner);
    db::Recordset rs =
        db->query(services.adaptSqlFor(*db, eventListStatement(ownerFilter, order)), error);
    if (!rs.isOpen())
        return std::nullopt;
    QList<EventListRow> rows;
    rows.reserve(rs.recordCount());
    for (rs.moveFirst(); !rs.eof(); rs.moveNext())
        rows.append({valueOf(rs, "CMID").toLongLong(), valueOf(rs, "CmSubjec"),
                     valueOf(rs, "CmDoc"), valueOf(rs, "CMWho"), valueOf(rs, "EvBroStaDat"),
                     valueOf(rs, "EvBroStaTim"), valueOf(rs, "evBroDat")});
    return rows;
}

std::optional<EventRecord> readEvent(HostServices& services, qint64 id, bool byDetailId,
                                     QString* error)
{
    auto db = services.connectionByIndex(core::MessageStoreKind);
    if (!db) {
        if (error)
            *error = QStringLiteral("The message store cannot be opened.");
        return std::nullopt;
    }
    // An event's detail row only: a message's detail id would put the message into the
    // event panel, and a save there would rewrite it and reset its confirmations.
    const QString statement =
        QStringLiteral("SELECT CMTable.*, EVTable.*, CMTable.cmTyp FROM CMTable LEFT JOIN EVTable "
                       "ON CMTable.cmID = EVTable.EVLinID WHERE ((CMTable.cmTyp)>=0 or "
                       "(CMTable.cmTyp is Null)) and ") +
        (byDetailId ? QStringLiteral("(evID=?) and EVTable.EvTyp=1") : QStringLiteral("(cmID=?)"));
    db::Recordset rs = db->query(services.adaptSqlFor(*db, statement), {id}, error);
    if (!rs.isOpen() || rs.isEmpty())
        return std::nullopt;
    rs.moveFirst();
    EventRecord e;
    e.cmId = fieldOf(rs, "CMID").toLongLong();
    e.ownerId = fieldOf(rs, "EvPID").toLongLong();
    e.title = common::vb::toText(fieldOf(rs, "cmSubjec"));
    e.description = common::vb::toText(fieldOf(rs, "cmDoc"));
    e.date = common::vb::toText(fieldOf(rs, "evBroStaDat"));
    e.from = fieldOf(rs, "evBroStaTim");
    e.to = fieldOf(rs, "evBroDat");
    const QVariant zero(0);
    e.repeat.recurring = fieldOf(rs, "evBroReaFla", zero).toLongLong() == -1;
    e.repeat.every = common::vb::toText(fieldOf(rs, "evBroReaEve", zero));
    e.repeat.unit = fieldOf(rs, "evBroReaTyp", zero).toInt();
    e.repeat.numberOfTimes = fieldOf(rs, "evBroNumOfTim", zero).toLongLong();
    e.repeat.until = common::vb::toText(fieldOf(rs, "EvBroEndDat", zero));
    e.attendees = readAttendeeLists(services, *db, e.cmId);
    return e;
}

EventSaveResult saveEvent(HostServices& services, const EventToSave& event)
{
    EventSaveResult result;
    result.cmId = event.cmId;
    auto db = services.connectionByIndex(core::MessageStoreKind);
    if (!db) {
        result.error = QStringLiteral("The message store cannot be opened.");
        return result;
    }
    const QString login = services.currentLoginName();
    QStringList names, texts;
    if (event.cmId != 0) {
        const QVariant found = db->scalar(
            services.adaptSqlFor(*db, QStringLiteral("Select cmID from CMTable where cmID=?")),
            {event.cmId});
        if (!found.isValid() || found.isNull()) {
            result.vanished = true;
            return result;
        }
        names << QStringLiteral("cmModDat");
        texts << common::vb::format(services.currentDate(), QStringLiteral("Short Date"));
    } else {
        names << QStringLiteral("cmTyp") << QStringLiteral("cmTraLinID") << QStringLiteral("cmTim")
              << QStringLiteral("cmDat") << QStringLiteral("cmWho") << QStringLiteral("cmPid")
              << QStringLiteral("cmCat") << QStringLiteral("cmSubCat");
        texts << QString::number(event.linkType) << QString::number(event.linkId)
              << common::vb::cstr(common::AutoDate::fromTime(services.currentTime()))
              << common::vb::format(services.currentDate(), QStringLiteral("mm/dd/yyyy")) << login
              << QStringLiteral("0") << QStringLiteral("Events") << QStringLiteral("EMS");
    }
    names << QStringLiteral("cmWhoMod") << QStringLiteral("cmDoc") << QStringLiteral("CMSubjec");
    texts << login << event.description.trimmed() << event.title.trimmed();
    qint64 key = event.cmId;
    if (!services.writeRecord(core::MessageStoreKind, QStringLiteral("cmTable"),
                              QStringLiteral("cmID"), key, names, texts, &result.error)) {
        if (result.error.isEmpty())
            result.error = QStringLiteral("The event header was not written.");
        return result;
    }
    result.cmId = key;
    core::WriteStationSignal(services, QStringLiteral("CMCM"));
    if (key == 0) {
        result.ok = true;
        return result;
    }

    names.clear();
    texts.clear();
    const QVariant evId = db->scalar(
        services.adaptSqlFor(*db, QStringLiteral("Select evID from EVtable where EVLINID=?")),
        {key});
    qint64 evKey = evId.isValid() && !evId.isNull() ? evId.toLongLong() : 0;
    if (evKey == 0) {
        names << QStringLiteral("Evpid") << QStringLiteral("EvLinID") << QStringLiteral("EvTyp");
        texts << QString::number(event.ownerId) << QString::number(key) << QStringLiteral("1");
    }
    names << QStringLiteral("EvBroStaDatFla") << QStringLiteral("EvBroStaDat")
          << QStringLiteral("EvBroStaTim") << QStringLiteral("evBroDat");
    texts << QStringLiteral("-1") << event.date << event.from << event.to;
    repeatColumns(event.repeat, names, texts);
    names << QStringLiteral("EvBroFla");
    texts << QStringLiteral("-1");
    if (!services.writeRecord(core::MessageStoreKind, QStringLiteral("evTable"),
                              QStringLiteral("evID"), evKey, names, texts, &result.error)) {
        if (result.error.isEmpty())
            result.error = QStringLiteral("The event's date and times were not written.");
        return result;
    }
    core::WriteStationSignal(services, QStringLiteral("CMEV"));

    // A person in both lists stays an attendee only.
    std::array<QString, 2> lists = event.attendees;
    store::RemoveToFromCc(services, lists[0], lists[1], QStringLiteral(","));
    result.attendees = lists;
    result.ok = writeAttendeeRows(services, *db, key, lists, &result.error);
    return result;
}

bool deleteEvent(HostServices& services, qint64 cmId, QString* error)
{
    return core::deleteMessage(services, cmId, error);
}

QString attendeeInitials(HostServices& services, const QString& personIds)
{
    QStringList initials;
    auto db = services.personsConnection();
    for (qint32 id : idsOf(services, personIds)) {
        if (!db)
            break;
        db::Recordset rs = db->query(
            services.adaptSqlFor(*db, QStringLiteral("Select * from paTable where pID=?")), {id});
        if (!rs.isOpen() || rs.isEmpty())
            continue;
        rs.moveFirst();
        const QString ini = common::vb::toText(fieldOf(rs, "pDocIni")).trimmed();
        if (!ini.isEmpty())
            initials << ini;
    }
    return initials.join(QStringLiteral(", "));
}

QHash<qint64, QString> attendeeCellTexts(HostServices& services, db::Database& db,
                                         const QList<qint64>& cmIds)
{
    QHash<qint64, QString> cells;
    QStringList list;
    for (qint64 id : cmIds) {
        cells.insert(id, QString());
        if (id != 0)
            list << QString::number(id);
    }
    if (list.isEmpty())
        return cells;
    db::Recordset rs = db.query(services.adaptSqlFor(
        db, QStringLiteral("Select * from BroChkTable where BROCHKLINID in (") +
                list.join(QLatin1Char(',')) + QStringLiteral(") order by BROCHKLINID, BroChkID")));
    if (!rs.isOpen())
        return cells;
    struct Attendee {
        qint64 cmId;
        qint32 pid;
        qint64 type; // BroChkTyp: 0 To, 1 Cc
    };
    QList<Attendee> attendees;
    QList<qint32> pids;
    for (rs.moveFirst(); !rs.eof(); rs.moveNext()) {
        const qint64 pid = common::FieldValueOrZero(rs, QStringLiteral("BroChkPID")).toLongLong();
        if (pid == 0)
            continue;
        attendees.append({common::FieldValueOrZero(rs, QStringLiteral("BroChkLinID")).toLongLong(),
                          qint32(pid),
                          common::FieldValueOrZero(rs, QStringLiteral("BroChkTyp")).toLongLong()});
        pids << qint32(pid);
    }
    // One name lookup for all: an event for the whole office has an attendee per employee.
    const QHash<qint32, QString> names = services.personNames(pids);
    QHash<qint64, QPair<QString, QString>> toCc;
    for (const Attendee& a : attendees) {
        const QString name = QStringLiteral(", ") + names.value(a.pid);
        if (a.type == 0)
            toCc[a.cmId].first += name;
        else if (a.type == 1)
            toCc[a.cmId].second += name;
    }
    for (auto it = toCc.cbegin(); it != toCc.cend(); ++it) {
        const QString to = it->first.mid(2);
        const QString cc = it->second.mid(2);
        cells.insert(it.key(), cc.isEmpty() ? to : to + QStringLiteral("/ ") + cc);
    }
    return cells;
}

} // namespace tzsndmsg::events
