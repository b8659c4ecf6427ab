#pragma once

// Seeding messages for the view and toolbar tests, through the services' record writer.
#include "support/Office.h"

#include "component/SharedState.h"
#include "directory/StaffDirectory.h"

#include <QStringList>

namespace tzsndmsg::testing::views {

struct Msg {
    QString who;              // cmWho
    qint32 pid = 0;           // cmPid
    QString subject;
    QString date = QStringLiteral("12/01/2026");
    QString time = QStringLiteral("09:00 AM");
    QString category = QStringLiteral("Message");
    QString typ = QStringLiteral("0"); // cmTyp
    QString purged;           // CMPurFla, empty for null
    QString body;
    QString payroll = QStringLiteral("0");
    int evTyp = 0;            // -1: no EVTable row
};

struct To {
    qint32 pid = 0;
    int typ = 0;
    QString machine;
    QString read;             // BroChkDonDis, empty for null
};

inline qint64 write(Office& office, const QString& table, const QString& key,
                    const QStringList& names, const QStringList& texts)
{
    qint64 id = 0;
    QString error;
    if (!office.services()->writeRecord(9, table, key, id, names, texts, &error))
        ADD_FAILURE() << table.toStdString() << ": " << error.toStdString();
    return id;
}

inline qint32 addMessage(Office& office, const Msg& m, const QList<To>& recipients = {})
{
    QStringList names{"cmTyp", "cmTim", "cmDat", "cmWho", "cmPid", "cmCat", "cmSubCat",
                      "cmDoc", "CMSubjec", "CMShoOnRep"};
    QStringList texts{m.typ, m.time, m.date, m.who, QString::number(m.pid), m.category,
                      "EMS", m.body, m.subject, m.payroll};
    if (!m.purged.isEmpty()) {
        names << "CMPurFla";
        texts << m.purged;
    }
    const qint64 cmId = write(office, "CMTable", "cmID", names, texts);
    if (m.evTyp >= 0)
        write(office, "EVTable", "EVID", {"EvPID", "EvLinID", "EvTyp"},
              {QString::number(m.pid), QString::number(cmId), QString::number(m.evTyp)});
    for (const To& r : recipients) {
        QStringList n{"BroChkLinID", "BroChkPID", "BroChkTyp", "BroChkToMac"};
        QStringList t{QString::number(cmId), QString::number(r.pid), QString::number(r.typ),
                      r.machine};
        if (!r.read.isEmpty()) {
            n << "BroChkDonDis";
            t << r.read;
        }
        write(office, "BroChkTable", "BroChkID", n, t);
    }
    return qint32(cmId);
}

// The shared state of a workstation: services, current employee, login list.
inline void useOffice(Office& office, qint32 currentEmployee)
{
    auto& st = SharedState::current();
    st = SharedState{};
    st.GIC = office.services();
    st.CurrentEmployeeID = currentEmployee;
    LoadLoginNames();
}

} // namespace tzsndmsg::testing::views
