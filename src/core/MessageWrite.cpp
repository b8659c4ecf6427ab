#include "core/MessageWrite.h"

#include "common/AutoDate.h"
#include "common/VbFormat.h"
#include "core/ChangeNotice.h"
#include "core/StationSignal.h"
#include "db/Internals.h"
#include "store/MessageStore.h"
#include "tzsndmsg/HostServices.h"
#include "tzsndmsg/db/Database.h"
#include "tzsndmsg/db/RecordWriter.h"
#include "tzsndmsg/db/Recordset.h"

namespace tzsndmsg::core {

namespace vb = common::vb;

namespace {

QString flagText(bool on)
{
    return on ? QStringLiteral("-1") : QStringLiteral("0");
}
QString boxText(bool on)
{
    return on ? QStringLiteral("1") : QStringLiteral("0");
}

struct Columns {
    QStringList names, texts;
    void add(const QString& name, const QString& text)
    {
        names << name;
        texts << text;
    }
};

} // namespace

ReminderColumns noReminderColumns()
{
    const QString none = vb::cstr(common::AutoDate::zero());
    return {QStringLiteral("0"), QStringLiteral("0"), none, none};
}

std::optional<ReminderColumns> freeReminderColumns(const QString& dayText, const QString& timeText)
{
    const auto time = vb::parseDate(timeText);
    const auto date = vb::parseDate(dayText);
    if (!time || timeText.trimmed().isEmpty() || !date || dayText.trimmed().isEmpty())
        return std::nullopt;
    // The time as the list shows it, read back: what is stored is what the user saw.
    const auto shown = vb::parseDate(vb::format(*time, QStringLiteral("hh:nn am/pm")));
    return ReminderColumns{QStringLiteral("-1"), QStringLiteral("-1"), vb::cstr(date->datePart()),
                           vb::cstr(shown ? shown->timePart() : time->timePart())};
}

ReminderColumns linkedReminderColumns(const QDate& recordDate, const QTime& recordTime,
                                      qint64 minutes)
{
    const common::AutoDate moment =
        common::AutoDate::fromDateAndTime(recordDate, recordTime).addMinutes(-int(minutes));
    const auto day = vb::parseDate(vb::format(moment, QStringLiteral("mm/dd/yyyy")));
    const auto time = vb::parseDate(vb::format(moment, QStringLiteral("hh:nn am/pm")));
    return {QStringLiteral("-1"), QStringLiteral("-1"),
            vb::cstr(day ? day->datePart() : moment.datePart()),
            vb::cstr(time ? time->timePart() : moment.timePart())};
}

MessageLink messageLink(bool reminder, qint32 linkType, qint32 linkId)
{
    if (reminder || linkType == 4)
        return {linkType, linkId};
    return {};
}

namespace {

// One addressee as the window's lists name it: a person's id, or a computer's name.
struct WantedAddressee {
    QString person; // "0" on a computer's row
    QString computer;
    int list = 0; // 0 To, 1 Cc
};

// The rows the lists ask for, in the order they are written: To before Cc, in each persons
// before computers; a person or computer in both lists only in To.
QVector<WantedAddressee> wantedAddressees(HostServices& services, const OutgoingMessage& m)
{
    QVector<WantedAddressee> wanted;
    std::array<QString, 2> pids = m.personIds;
    std::array<QString, 2> machines = m.computers;
    store::RemoveToFromCc(services, pids[0], pids[1], QStringLiteral(","));
    store::RemoveToFromCc(services, machines[0], machines[1], QStringLiteral("\n"));
    for (int list = 0; list < 2; ++list) {
        const QString& ids = pids[size_t(list)];
        if (ids.size() > 1) {
            int pos = 0;
            for (QString id = services.nextToken(ids, QStringLiteral(","), pos); !id.isEmpty();
                 id = services.nextToken(ids, QStringLiteral(","), pos))
                wanted.push_back({id.trimmed(), QString(), list});
        }
        const QString& names = machines[size_t(list)];
        int pos = 0;
        for (QString name = services.nextToken(names, QStringLiteral("\n"), pos); !name.isEmpty();
             name = services.nextToken(names, QStringLiteral("\n"), pos))
            wanted.push_back({QStringLiteral("0"), name, list});
    }
    return wanted;
}

// A computer's row is known by its name (confirming there writes the employee into it), a
// person's by the id.
bool addresses(const Addressee& row, const WantedAddressee& wanted)
{
    if (!wanted.computer.isEmpty())
        return row.BroChkToMac == wanted.computer;
    bool ok = false;
    const qint32 person = wanted.person.toInt(&ok);
    return ok && row.BroChkToMac.trimmed().isEmpty() && row.BroChkPID == person;
}

// The To and Cc rows a message has now.
std::optional<QVector<Addressee>> storedAddressees(HostServices& services, db::Database& store,
                                                   qint64 cmId, QString* error)
{
    db::Recordset rs = store.query(
        services.adaptSqlFor(store, QStringLiteral("select * from BroChkTable where BroChkLinID=? "
                                                   "and (BroChkTyp=0 or BroChkTyp=1) order by "
                                                   "BroChkID")),
        {cmId}, error);
    if (!rs.isOpen())
        return std::nullopt;
    QVector<Addressee> rows;
    try {
        for (rs.moveFirst(); !rs.eof(); rs.moveNext())
            rows << addresseeFrom(rs);
    } catch (const db::FieldError& e) {
        *error = QString::fromUtf8(e.what());
        return std::nullopt;
    }
    return rows;
}

} // namespace

bool deleteMessage(HostServices& services, qint64 cmId, QString* error)
{
    return store::DeleteMessage(services, cmId, error);
}

SaveResult saveMessage(HostServices& services, const OutgoingMessage& m)
{
    SaveResult result;
    if (!m.headerChanged) {
        result.ok = true;
        return result;
    }
    auto store = services.messageStoreConnection();
    if (!store) {
        result.error = QStringLiteral("The message store is not open.");
        return result;
    }

    const QString login = services.currentLoginName();
    const bool replacing = m.replaceId != 0;
    QStringList tags; // station signals, one per row written
    qint64 cmId = m.replaceId;
    // Whom the watchers' notice names: every addressee row before and after the save. A person
    // that is not a number is stored as the store makes of it: then every watcher looks.
    QSet<qint32> persons;
    QSet<QString> computers;
    bool named = true;
    {
        db::Transaction transaction(*store);
        if (!transaction.ok()) {
            result.error =
                QStringLiteral("A transaction could not be started on the message store: ") +
                transaction.error();
            return result;
        }
        QString* error = &result.error;
        // Under row-level security the save's statements cost more to plan (their policies)
        // than to run: each keeps the one plan made on its first use. (Servers before version 12
        // plan each time.)
        if (store->backend() == db::Backend::Postgres &&
            !store->exec(QStringLiteral("SELECT set_config('plan_cache_mode', "
                                        "'force_generic_plan', true) FROM pg_settings WHERE name "
                                        "= 'plan_cache_mode'"),
                         error))
            return result;

        // Who made the message, when, for what and from whom is written once; saving over it
        // says who changed it and when.
        Columns header;
        if (replacing) {
            header.add(QStringLiteral("cmWhoMod"), login);
            header.add(QStringLiteral("cmModDat"),
                       vb::format(services.currentDate(), QStringLiteral("Short Date")));
        } else {
            header.add(QStringLiteral("cmTyp"), QString::number(m.link.cmTyp));
            header.add(QStringLiteral("cmTraLinID"), QString::number(m.link.cmTraLinID));
            header.add(QStringLiteral("cmTim"),
                       vb::format(services.currentTime(), QStringLiteral("hh:nn ampm")));
            header.add(QStringLiteral("cmDat"), m.cmDat);
            header.add(QStringLiteral("cmWho"), login);
            const bool bySupervisor =
                m.announcement && login.trimmed().toUpper() == QLatin1String("SUPERVISOR");
            header.add(QStringLiteral("cmPid"), QString::number(bySupervisor ? 0 : m.senderId));
            header.add(QStringLiteral("cmCat"), m.cmCat);
            header.add(QStringLiteral("cmSubCat"), m.cmSubCat);
            header.add(QStringLiteral("cmWhoMod"), login);
        }
        header.add(QStringLiteral("cmDoc"), m.cmDoc);
        header.add(QStringLiteral("CMSubjec"), m.CMSubjec.trimmed());
        header.add(QStringLiteral("cmDocAftDis"), flagText(m.cmDocAftDis));
        header.add(QStringLiteral("CMNeeCom"), flagText(m.CMNeeCom));
        header.add(QStringLiteral("CMShoOnRep"), flagText(m.CMShoOnRep));
        header.add(QStringLiteral("cmConRec"), flagText(m.cmConRec));
        if (!services.writeRecord(MessageStoreKind, QStringLiteral("CMTable"),
                                  QStringLiteral("cmID"), cmId, header.names, header.texts, error))
            return result;
        tags << QStringLiteral("CMCM");

        if (cmId != 0) {
            qint64 evId = 0;
            if (replacing) {
                const QVariant found = store->scalar(
                    services.adaptSqlFor(*store, QStringLiteral("select EVID from EVTable where "
                                                                "EvLinID=?")),
                    {cmId});
                evId = found.isValid() && !found.isNull() ? found.toLongLong() : 0;
            }
            Columns detail;
            if (evId == 0) {
                detail.add(QStringLiteral("Evpid"), QString::number(m.senderId));
                detail.add(QStringLiteral("EvLinID"), QString::number(cmId));
                detail.add(QStringLiteral("EvTyp"), QStringLiteral("0"));
            }
            detail.add(QStringLiteral("EVAlaFla"), m.reminder.EVAlaFla);
            detail.add(QStringLiteral("EVAlaStaDatFla"), m.reminder.EVAlaStaDatFla);
            detail.add(QStringLiteral("EVAlaStaDat"), m.reminder.EVAlaStaDat);
            detail.add(QStringLiteral("EVAlaStaTim"), m.reminder.EVAlaStaTim);
            // Private messages get their detail row too, so that they are listed.
            detail.add(QStringLiteral("EvPri"),
                       m.EvPri ? QStringLiteral("True") : QStringLiteral("False"));
            detail.add(QStringLiteral("EvBroFla"), flagText(m.EvBroFla));
            detail.add(QStringLiteral("EvBroStaDatFla"), flagText(m.EvBroStaDatFla));
            QStringList leftOut; // null in a new row; emptied in a row saved over
            auto addOrLeaveOut = [&](const QString& name, const QString& text) {
                if (text.isEmpty())
                    leftOut << name;
                else
                    detail.add(name, text);
            };
            addOrLeaveOut(QStringLiteral("EvBroStaDat"), m.EvBroStaDat);
            addOrLeaveOut(QStringLiteral("EvBroStaTim"), m.EvBroStaTim);
            detail.add(QStringLiteral("EvBroReaFla"), boxText(m.EvBroReaFla));
            detail.add(QStringLiteral("EvBroReaEve"), QString::number(m.EvBroReaEve));
            detail.add(QStringLiteral("EvBroReatyp"), QString::number(m.EvBroReaTyp));
            detail.add(QStringLiteral("EvBroNumOfTim"), QString::number(m.EvBroNumOfTim));
            detail.add(QStringLiteral("EvBroEndDatFla"), boxText(m.EvBroEndDatFla));
            addOrLeaveOut(QStringLiteral("EvBroEndDat"), m.EvBroEndDat);
            const bool updating = evId != 0;
            if (!services.writeRecord(MessageStoreKind, QStringLiteral("EvTable"),
                                      QStringLiteral("EVID"), evId, detail.names, detail.texts,
                                      error))
                return result;
            if (updating && !leftOut.isEmpty()) {
                QStringList sets;
                for (const QString& name : leftOut)
                    sets << name + QStringLiteral("=NULL");
                if (!store->exec(
                        services.adaptSqlFor(*store, QStringLiteral("update EVTable set ") +
                                                         sets.join(QStringLiteral(", ")) +
                                                         QStringLiteral(" where EVID=?")),
                        {evId}, error))
                    return result;
            }
            tags << QStringLiteral("CMEV");

            // Saved over itself, the rows of the addressees that remain stay (their ids name
            // them in the inboxes, and they hold who read it and when); the others go.
            QVector<Addressee> stored;
            if (replacing) {
                auto rows = storedAddressees(services, *store, cmId, error);
                if (!rows)
                    return result;
                stored = *rows;
                for (const Addressee& row : std::as_const(stored)) {
                    persons.insert(row.BroChkPID);
                    computers.insert(row.BroChkToMac);
                }
            }
            const QString saveTo = QString::number(m.saveToPerson);
            const QString choice = QString::number(m.saveToChoice);
            std::vector<bool> matched(size_t(stored.size()), false);
            // New rows go in together, in the order wanted (their ids keep it): a few
            // statements for a whole office instead of one a row.
            const QStringList newNames{
                QStringLiteral("BroChkLinID"),    QStringLiteral("BroChkPid"),
                QStringLiteral("BroChkTyp"),      QStringLiteral("BroChkAssPID"),
                QStringLiteral("BroChkSavToFla"), QStringLiteral("BroChkToMac")};
            QList<QStringList> newRows;
            for (const WantedAddressee& wanted : wantedAddressees(services, m)) {
                bool number = false;
                persons.insert(wanted.person.toInt(&number));
                named = named && number;
                computers.insert(wanted.computer);
                qsizetype at = -1;
                for (qsizetype i = 0; i < stored.size() && at < 0; ++i)
                    if (!matched[size_t(i)] && addresses(stored[i], wanted))
                        at = i;
                if (at < 0) {
                    newRows << QStringList{QString::number(cmId),
                                           wanted.person,
                                           QString::number(wanted.list),
                                           saveTo,
                                           choice,
                                           wanted.computer};
                    tags << QStringLiteral("CMBC");
                    continue;
                }
                matched[size_t(at)] = true;
                const Addressee& row = stored[at];
                if (row.BroChkTyp == wanted.list && row.BroChkAssPID == m.saveToPerson &&
                    row.BroChkSavToFla == m.saveToChoice)
                    continue;
                // Moved between To and Cc, or another save-to choice: the same row.
                qint64 key = row.BroChkID;
                if (!services.writeRecord(MessageStoreKind, QStringLiteral("BroChkTable"),
                                          QStringLiteral("BroChkID"), key,
                                          {QStringLiteral("BroChkTyp"),
                                           QStringLiteral("BroChkAssPID"),
                                           QStringLiteral("BroChkSavToFla")},
                                          {QString::number(wanted.list), saveTo, choice}, error))
                    return result;
                tags << QStringLiteral("CMBC");
            }
            if (!db::insertRecords(*store, QStringLiteral("BroChkTable"),
                                   QStringLiteral("BroChkID"), newNames, newRows, error))
                return result;
            for (qsizetype i = 0; i < stored.size(); ++i) {
                if (matched[size_t(i)])
                    continue;
                if (!store->exec(
                        services.adaptSqlFor(*store, QStringLiteral("delete from BroChkTable where "
                                                                    "BroChkID=?")),
                        {stored[i].BroChkID}, error))
                    return result;
                tags << QStringLiteral("CMBC");
            }
        }

        if (!transaction.commit()) {
            result.error = QStringLiteral("The message store did not accept the message: ") +
                           transaction.error();
            return result;
        }
    }

    result.ok = true;
    result.error.clear();
    result.cmId = qint32(cmId);
    services.releaseAfterWrite(*store);
    if (named)
        notifyChange(*store, cmId, persons, computers);
    else
        notifyChange(*store, cmId);
    WriteStationSignals(services, tags);

    if (m.labOrderId && cmId != 0) {
        // The lab-order link is told only of a message that is really stored; what it does
        // with it does not undo the save.
        try {
            const qint32 person = services.employeeOfLogin(login);
            const QString who = person != 0 ? QString::number(person) : login;
            result.labOrderAccepted = services.announceLabOrderMessage(who, cmId, *m.labOrderId);
        } catch (...) {
        }
    }
    return result;
}

Confirmation confirmAddressee(HostServices& services, qint32 broChkId, qint32 confirmingEmployeeId)
{
    Confirmation result;
    result.row = readAddressee(services, broChkId);
    if (!result.row)
        return result;
    QStringList names{QStringLiteral("BroChkLasReaDatTim"), QStringLiteral("BroChkDonDis")};
    QStringList texts{vb::cstr(common::AutoDate::fromDateTime(services.currentDateTime())),
                      QStringLiteral("-1")};
    if (result.row->BroChkPID == 0) {
        names << QStringLiteral("BroChkPID");
        texts << QString::number(confirmingEmployeeId);
    }
    qint64 key = broChkId;
    result.written =
        services.writeRecord(MessageStoreKind, QStringLiteral("BroChkTable"),
                             QStringLiteral("BroChkID"), key, names, texts, &result.error);
    if (result.written) {
        // The unread count of the addressee's inbox changed.
        if (auto store = services.messageStoreConnection())
            notifyChange(
                *store, result.row->BroChkLinID,
                {result.row->BroChkPID, result.row->BroChkPID == 0 ? confirmingEmployeeId : 0},
                {result.row->BroChkToMac});
        WriteStationSignal(services, QStringLiteral("CMBC"));
    }
    return result;
}

bool markPayrollRelated(HostServices& services, qint32 cmId, QString* error)
{
    qint64 key = cmId;
    return services.writeRecord(MessageStoreKind, QStringLiteral("CMTable"), QStringLiteral("cmID"),
                                key, {QStringLiteral("cmDocAftDis"), QStringLiteral("CMShoOnRep")},
                                {QStringLiteral("-1"), QStringLiteral("-1")}, error);
}

} // namespace tzsndmsg::core
