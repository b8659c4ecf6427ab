#include "core/MessageWrite.h"

#include "common/AutoDate.h"
#include "common/VbFormat.h"
#include "core/StationSignal.h"
#include "db/Database.h"
#include "store/MessageStore.h"
#include "tzsndmsg/HostServices.h"

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
    QStringList tags; // station signals, one per row written
    qint64 cmId = m.replaceId;
    {
        db::Transaction transaction(*store);
        if (!transaction.ok()) {
            result.error =
                QStringLiteral("A transaction could not be started on the message store: ") +
                transaction.error();
            return result;
        }
        QString* error = &result.error;

        Columns header;
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
            Columns detail;
            detail.add(QStringLiteral("Evpid"), QString::number(m.senderId));
            detail.add(QStringLiteral("EvLinID"), QString::number(cmId));
            detail.add(QStringLiteral("EvTyp"), QStringLiteral("0"));
            detail.add(QStringLiteral("EVAlaFla"), m.reminder.EVAlaFla);
            detail.add(QStringLiteral("EVAlaStaDatFla"), m.reminder.EVAlaStaDatFla);
            detail.add(QStringLiteral("EVAlaStaDat"), m.reminder.EVAlaStaDat);
            detail.add(QStringLiteral("EVAlaStaTim"), m.reminder.EVAlaStaTim);
            // Private messages get their detail row too, so that they are listed.
            detail.add(QStringLiteral("EvPri"),
                       m.EvPri ? QStringLiteral("True") : QStringLiteral("False"));
            detail.add(QStringLiteral("EvBroFla"), flagText(m.EvBroFla));
            detail.add(QStringLiteral("EvBroStaDatFla"), flagText(m.EvBroStaDatFla));
            if (!m.EvBroStaDat.isEmpty())
                detail.add(QStringLiteral("EvBroStaDat"), m.EvBroStaDat);
            if (!m.EvBroStaTim.isEmpty())
                detail.add(QStringLiteral("EvBroStaTim"), m.EvBroStaTim);
            detail.add(QStringLiteral("EvBroReaFla"), boxText(m.EvBroReaFla));
            detail.add(QStringLiteral("EvBroReaEve"), QString::number(m.EvBroReaEve));
            detail.add(QStringLiteral("EvBroReatyp"), QString::number(m.EvBroReaTyp));
            detail.add(QStringLiteral("EvBroNumOfTim"), QString::number(m.EvBroNumOfTim));
            detail.add(QStringLiteral("EvBroEndDatFla"), boxText(m.EvBroEndDatFla));
            if (!m.EvBroEndDat.isEmpty())
                detail.add(QStringLiteral("EvBroEndDat"), m.EvBroEndDat);
            qint64 evId = 0;
            if (m.replaceId != 0) {
                const QVariant found = store->scalar(
                    services.adaptSqlFor(*store, QStringLiteral("select EVID from EVTable where "
                                                                "EvLinID=?")),
                    {cmId});
                evId = found.isValid() && !found.isNull() ? found.toLongLong() : 0;
                // Its addressees are written anew from the lists given.
                if (!store->exec(services.adaptSqlFor(*store, QStringLiteral(
                                                                  "delete from BroChkTable where "
                                                                  "BroChkLinID=? and (BroChkTyp=0 "
                                                                  "or BroChkTyp=1)")),
                                 {cmId}, error))
                    return result;
            }
            if (!services.writeRecord(MessageStoreKind, QStringLiteral("EvTable"),
                                      QStringLiteral("EVID"), evId, detail.names, detail.texts,
                                      error))
                return result;
            tags << QStringLiteral("CMEV");

            std::array<QString, 2> pids = m.personIds;
            std::array<QString, 2> machines = m.computers;
            store::RemoveToFromCc(services, pids[0], pids[1], QStringLiteral(","));
            store::RemoveToFromCc(services, machines[0], machines[1], QStringLiteral("\n"));
            for (int list = 0; list < 2; ++list) {
                auto addRow = [&](const QString& person, const QString& machine) {
                    qint64 key = 0;
                    if (!services.writeRecord(
                            MessageStoreKind, QStringLiteral("BroChkTable"),
                            QStringLiteral("BroChkID"), key,
                            {QStringLiteral("BroChkLinID"), QStringLiteral("BroChkPid"),
                             QStringLiteral("BroChkTyp"), QStringLiteral("BroChkAssPID"),
                             QStringLiteral("BroChkSavToFla"), QStringLiteral("BroChkToMac")},
                            {QString::number(cmId), person, QString::number(list),
                             QString::number(m.saveToPerson), QString::number(m.saveToChoice),
                             machine},
                            error))
                        return false;
                    tags << QStringLiteral("CMBC");
                    return true;
                };
                const QString& ids = pids[size_t(list)];
                if (ids.size() > 1) {
                    int pos = 0;
                    for (QString id = services.nextToken(ids, QStringLiteral(","), pos);
                         !id.isEmpty(); id = services.nextToken(ids, QStringLiteral(","), pos))
                        if (!addRow(id.trimmed(), QString()))
                            return result;
                }
                const QString& names = machines[size_t(list)];
                int pos = 0;
                for (QString name = services.nextToken(names, QStringLiteral("\n"), pos);
                     !name.isEmpty(); name = services.nextToken(names, QStringLiteral("\n"), pos))
                    if (!addRow(QStringLiteral("0"), name))
                        return result;
            }
        }

        if (!transaction.commit()) {
            result.error =
                QStringLiteral("The message store did not accept the message: ") + transaction.error();
            return result;
        }
    }

    result.ok = true;
    result.error.clear();
    result.cmId = qint32(cmId);
    services.releaseAfterWrite(*store);
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
    if (result.written)
        WriteStationSignal(services, QStringLiteral("CMBC"));
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
