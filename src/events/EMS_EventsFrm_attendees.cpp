#include "EMS_EventsFrm.h"

#include "common/FieldValue.h"
#include "common/VbFormat.h"
#include "component/SharedState.h"
#include "core/StationSignal.h"
#include "db/Database.h"
#include "directory/EMS_EmpList.h"
#include "store/MessageStore.h"
#include "tzsndmsg/HostServices.h"
#include "tzsndmsg/ui/Modal.h"
#include "ui/ScreenPlacement.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLineEdit>
#include <QListWidget>

namespace tzsndmsg {

namespace {

bool listHas(const QString& list, const QString& id)
{
    return (QLatin1Char(',') + list).contains(QLatin1Char(',') + id + QLatin1Char(','));
}

// The ids of a list ("12,40,"), through the services' tokenizer, up to the first 0.
QList<qint32> idsOf(HostServices& gic, const QString& list)
{
    QList<qint32> ids;
    int pos = 0;
    for (;;) {
        const QString token = gic.nextToken(list, QStringLiteral(","), pos);
        const qint32 id = token.trimmed().toInt();
        if (id == 0)
            break;
        ids << id;
    }
    return ids;
}

} // namespace

void EMS_EventsFrm::PickAttendees(int index)
{
    if (index != 0 && index != 1)
        return;
    auto& st = SharedState::current();
    if (!st.GIC)
        return;
    HostServices& gic = *st.GIC;
    // 1.
    EMS_EmpList picker(this);
    picker.setEmpListType(1);
    QListWidget* list = picker.list(0);
    QLineEdit* box = m_txtAtt[index];
    ui::placeOnScreen(&picker, box->mapToGlobal(QPoint(0, box->height())));
    // 2.
    const QString current = m_AttendeeLists[index];
    for (int i = 0; i < list->count(); ++i) {
        const qint32 value = list->item(i)->data(Qt::UserRole).toInt();
        if (value != 0 && listHas(current, QString::number(value)))
            list->item(i)->setSelected(true);
    }
    // 3.
    ui::showModal(picker);
    if (!picker.accepted()) {
        box->setFocus();
        return;
    }
    // 4.
    Set_ChangeFalg(true);
    QString ids;
    auto append = [&ids](qint32 id) {
        const QString text = QString::number(id);
        // A person chosen alone and through a department is listed once.
        if (!listHas(ids, text))
            ids += text + QLatin1Char(',');
    };
    // 5.
    const QString all = QStringLiteral("0,");
    for (int i = 0; i < list->count(); ++i) {
        QListWidgetItem* item = list->item(i);
        if (!item->isSelected())
            continue;
        const qint32 value = item->data(Qt::UserRole).toInt();
        if (value != 0 || i == 0) {
            if (ids != all) {
                if (value == 0)
                    ids += all; // the whole office
                else
                    append(value);
            }
        } else {
            QString name = item->text().trimmed().toUpper();
            const int blank = name.lastIndexOf(QLatin1Char(' '));
            name = blank >= 0 ? name.left(blank).trimmed() : QString();
            for (int j = 1; j < list->count(); ++j) {
                const qint32 person = list->item(j)->data(Qt::UserRole).toInt();
                if (person != 0 &&
                    gic.personDepartment(person).trimmed().toUpper() == name)
                    append(person);
            }
        }
        if (ids == all)
            break;
    }
    // 6.
    if (ids == all) {
        ids.clear();
        for (int j = 0; j < list->count(); ++j) {
            const qint32 person = list->item(j)->data(Qt::UserRole).toInt();
            if (person != 0)
                append(person);
        }
    }
    m_AttendeeLists[index] = ids;
    // 7.
    ShowAttendeeInitials(index);
    box->setFocus();
}

void EMS_EventsFrm::ShowAttendeeInitials(int index)
{
    if (index != 0 && index != 1)
        return;
    auto& st = SharedState::current();
    QStringList initials;
    if (st.GIC) {
        auto db = st.GIC->personsConnection();
        for (qint32 id : idsOf(*st.GIC, m_AttendeeLists[index])) {
            if (!db)
                break;
            db::Recordset rs = db->query(st.GIC->adaptSqlFor(
                *db, QStringLiteral("Select * from paTable where pID=") + QString::number(id) +
                         QStringLiteral(";")));
            if (!rs.isOpen() || rs.isEmpty())
                continue;
            rs.moveFirst();
            QString ini;
            try {
                ini = common::vb::toText(common::FieldValueOrZero(rs, QStringLiteral("pDocIni")));
            } catch (const db::FieldError&) {
            }
            if (!ini.trimmed().isEmpty())
                initials << ini.trimmed();
        }
    }
    m_txtAtt[index]->setText(initials.join(QStringLiteral(", ")));
}

void EMS_EventsFrm::readAttendeeLists(qint64 cmId)
{
    auto& st = SharedState::current();
    m_AttendeeLists[0].clear();
    m_AttendeeLists[1].clear();
    auto db = connection();
    if (db && st.GIC) {
        db::Recordset rs = db->query(st.GIC->adaptSqlFor(
            *db, QStringLiteral("Select * from BroChkTable where BroChkLinID=") +
                     QString::number(cmId) +
                     QStringLiteral(" And (BroChkTyp = 0 Or BroChkTyp = 1)")));
        if (rs.isOpen()) {
            for (rs.moveFirst(); !rs.eof(); rs.moveNext()) {
                const qint64 pid =
                    common::FieldValueOrZero(rs, QStringLiteral("BroChkPID")).toLongLong();
                if (pid == 0)
                    continue;
                const qint64 typ =
                    common::FieldValueOrZero(rs, QStringLiteral("BroChkTyp")).toLongLong();
                m_AttendeeLists[typ == 0 ? 0 : 1] += QString::number(pid) + QLatin1Char(',');
            }
        }
    }
    ShowAttendeeInitials(0);
    ShowAttendeeInitials(1);
}

bool EMS_EventsFrm::writeAttendeeRows(qint64 cmId, QString* error)
{
    auto& st = SharedState::current();
    HostServices& gic = *st.GIC;
    auto db = connection();
    if (!db || cmId == 0)
        return true;
    // 1. A person in both lists stays an attendee only.
    store::RemoveToFromCc(gic, m_AttendeeLists[0], m_AttendeeLists[1], QStringLiteral(","));
    ShowAttendeeInitials(0);
    ShowAttendeeInitials(1);
    // 2.
    for (int index = 0; index < 2; ++index) {
        QString work = QLatin1Char(',') + m_AttendeeLists[index];
        db::Recordset rs = db->query(gic.adaptSqlFor(
            *db, QStringLiteral("Select * from BroChkTable where BroChkLinID=") +
                     QString::number(cmId)));
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
                if (!gic.writeRecord(9, QStringLiteral("BroChkTable"), QStringLiteral("BroChkID"),
                                     rowId, {QStringLiteral("BroChkDonDis"), QStringLiteral("BroChkSno")},
                                     {QStringLiteral("0"), QStringLiteral("0")}, error))
                    return false;
                QCoreApplication::processEvents();
                core::WriteStationSignal(gic, QStringLiteral("CMBC"));
            } else {
                QString err;
                if (!db->exec(gic.adaptSqlFor(*db, QStringLiteral("delete * from BroChkTable "
                                                                  "where BroChkID=") +
                                                       QString::number(rowId)),
                              &err)) {
                    *error = err;
                    return false;
                }
            }
        }
        // 3. Whatever is left was added.
        if (work.size() > 1) {
            for (qint32 id : idsOf(gic, work.mid(1))) {
                qint64 newKey = 0;
                if (!gic.writeRecord(9, QStringLiteral("BroChkTable"), QStringLiteral("BroChkID"),
                                     newKey,
                                     {QStringLiteral("BroChkLinID"), QStringLiteral("BroChkPid"),
                                      QStringLiteral("BroChkTyp")},
                                     {QString::number(cmId), QString::number(id),
                                      QString::number(index)},
                                     error))
                    return false;
                core::WriteStationSignal(gic, QStringLiteral("CMBC"));
            }
        }
    }
    return true;
}

} // namespace tzsndmsg
