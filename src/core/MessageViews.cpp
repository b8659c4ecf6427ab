// The public reading of the message store: a view's rows and a reminder's linked moment.
#include "common/VbFormat.h"
#include "core/LoginList.h"
#include "core/MessageListQuery.h"
#include "db/Database.h"
#include "db/Recordset.h"
#include "tzsndmsg/HostServices.h"
#include "tzsndmsg/Messages.h"

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
    core::setViewLogin(params, core::ResolveViewLogin(services, login),
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

std::optional<ReminderMoment> readReminderMoment(HostServices& services, LinkIDTypes linkType,
                                                 qint32 recordId)
{
    if (linkType != QNSAppointment && linkType != ZELOAppointment)
        return std::nullopt;
    const bool absence = linkType == QNSAppointment;
    auto suite = services.suiteConnection();
    if (!suite)
        return std::nullopt;
    const QString sql = absence
                            ? QStringLiteral("select AbsDat, AbsStaTim from AbsTable where AbsID=?")
                            : QStringLiteral("select apDat, apStaTim from ApTable where ApID=?");
    db::Recordset rs = suite->query(services.adaptSqlFor(*suite, sql), {recordId});
    if (!rs.isOpen() || rs.isEmpty())
        return std::nullopt;
    rs.moveFirst();
    const auto day = vb::toDate(rs.value(0));
    const auto time = vb::toDate(rs.value(1));
    if (!day || !time)
        return std::nullopt;
    return ReminderMoment{QDateTime(day->date(), QTime(0, 0)),
                          QDateTime(QDate(1899, 12, 30), time->time())};
}

} // namespace tzsndmsg
