// The public reading of the message store: a view's rows and a reminder's linked moment.
#include "common/VbFormat.h"
#include "core/LoginList.h"
#include "core/MessageListQuery.h"
#include "tzsndmsg/HostServices.h"
#include "tzsndmsg/Messages.h"
#include "tzsndmsg/db/Database.h"
#include "tzsndmsg/db/Recordset.h"

namespace tzsndmsg {

namespace vb = common::vb;

bool readMessageView(HostServices& services, const MessageViewRequest& request,
                     QList<MessageViewRow>& rows, QString* error)
{
    rows.clear();
    const QString login =
        (request.loginName.trimmed().isEmpty() ? services.currentLoginName() : request.loginName)
            .trimmed()
            .toUpper();
    core::MessageListParams params;
    params.inboxView = request.folder == MessageFolder::Inbox;
    params.msgCatOnly = !request.allCategories;
    params.history = request.history;
    const core::ViewLogin viewLogin = core::ResolveViewLogin(services, login);
    if (const QString why = core::viewLoginRefusal(viewLogin); !why.isEmpty()) {
        if (error)
            *error = why;
        return false;
    }
    core::setViewLogin(params, viewLogin,
                       request.computerName.trimmed().isEmpty()
                           ? services.computerName()
                           : request.computerName.trimmed().toUpper());

    QString reason;
    const QVector<core::ViewRow> viewRows =
        core::readViewRows(services, params, request.withToCc, &reason);
    if (!reason.isEmpty()) {
        if (error)
            *error = reason;
        return false;
    }
    rows.reserve(viewRows.size());
    for (const core::ViewRow& view : viewRows) {
        MessageViewRow row;
        row.messageId = view.cmID;
        row.addresseeRowId = view.BroChkID;
        row.senderId = view.cmPid;
        row.from = view.cmWho;
        row.toCc = view.toCc;
        const auto date = vb::parseDate(view.cmDat);
        const auto time = vb::parseDate(view.cmTim);
        if (date)
            row.date = date->date();
        if (time)
            row.time = time->time();
        row.dateText = date ? vb::format(*date, QStringLiteral("mm/dd/yyyy")) : view.cmDat;
        row.timeText = time ? vb::format(*time, QStringLiteral("Short Time")) : view.cmTim;
        row.subject = view.CMSubjec;
        row.text = view.cmDoc;
        row.comments = core::commentsCellText(view.cmDoc);
        row.category = view.cmCat;
        row.payrollRelated = view.payrollRelated;
        row.unread = view.unread;
        rows.append(row);
    }
    if (error)
        error->clear();
    return true;
}

bool readReminderMoment(HostServices& services, LinkIDTypes linkType, qint32 recordId,
                        ReminderMoment& moment, QString* error)
{
    moment = ReminderMoment();
    const auto fail = [error](const QString& reason) {
        if (error)
            *error = reason;
        return false;
    };
    if (linkType != QNSAppointment && linkType != ZELOAppointment)
        return fail(QStringLiteral("a reminder is linked to an appointment or an absence only"));
    const bool absence = linkType == QNSAppointment;
    const QString record = absence ? QStringLiteral("absence") : QStringLiteral("appointment");
    auto suite = services.suiteConnection();
    if (!suite)
        return fail(QStringLiteral("the services have no suite connection"));
    const QString sql = absence
                            ? QStringLiteral("select AbsDat, AbsStaTim from AbsTable where AbsID=?")
                            : QStringLiteral("select apDat, apStaTim from ApTable where ApID=?");
    QString why;
    db::Recordset rs = suite->query(services.adaptSqlFor(*suite, sql), {recordId}, &why);
    if (!rs.isOpen())
        return fail(why);
    if (rs.isEmpty())
        return fail(QStringLiteral("no %1 with id %2").arg(record).arg(recordId));
    rs.moveFirst();
    const auto day = vb::toDate(rs.value(0));
    const auto time = vb::toDate(rs.value(1));
    if (!day || !time)
        return fail(QStringLiteral("the %1 %2 has no day and start time that can be read")
                        .arg(record)
                        .arg(recordId));
    moment = ReminderMoment{QDateTime(day->date(), QTime(0, 0)),
                            QDateTime(QDate(1899, 12, 30), time->time())};
    return true;
}

} // namespace tzsndmsg
