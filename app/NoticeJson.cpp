#include "NoticeJson.h"

#include <QJsonArray>
#include <algorithm>

namespace tzsndmsg::app {

namespace {

QString isoMoment(const QDateTime& at)
{
    return at.isValid() ? at.toString(Qt::ISODate) : QString();
}

} // namespace

QJsonObject noticeJson(const OfficeNotice& n)
{
    QJsonArray rows;
    for (qint32 row : n.rows)
        rows.append(row);
    if (rows.isEmpty())
        rows.append(n.BroChkID);
    return QJsonObject{
        {QStringLiteral("event"), OfficeNotice::kindName(n.kind)},
        {QStringLiteral("cmID"), n.cmID},
        {QStringLiteral("BroChkID"), n.BroChkID},
        {QStringLiteral("BroChkIDs"), rows}, // every addressee row, BroChkID first
        {QStringLiteral("sender"), n.senderName},
        {QStringLiteral("senderLogin"), n.sender},
        {QStringLiteral("senderId"), n.senderId},
        {QStringLiteral("subject"), n.subject},
        {QStringLiteral("category"), n.category},
        {QStringLiteral("date"), n.date},
        {QStringLiteral("time"), n.time},
        {QStringLiteral("due"), isoMoment(n.due)},
        {QStringLiteral("told"), isoMoment(n.told)},
        {QStringLiteral("missed"), n.missed},
        {QStringLiteral("late"), n.late},
        {QStringLiteral("needsConfirmation"), n.needsConfirmation},
        {QStringLiteral("needsWindow"), n.needsWindow},
        {QStringLiteral("text"), n.text},
    };
}

OfficeNotice noticeFromJson(const QJsonObject& o)
{
    OfficeNotice n;
    const QString kind = o.value(QStringLiteral("event")).toString();
    for (const auto k :
         {OfficeNotice::Kind::Arrived, OfficeNotice::Kind::Started, OfficeNotice::Kind::Repeated,
          OfficeNotice::Kind::Reminder, OfficeNotice::Kind::Snoozed})
        if (OfficeNotice::kindName(k) == kind)
            n.kind = k;
    n.cmID = o.value(QStringLiteral("cmID")).toInt();
    n.BroChkID = o.value(QStringLiteral("BroChkID")).toInt();
    const QJsonArray rows = o.value(QStringLiteral("BroChkIDs")).toArray();
    for (const auto& row : rows)
        n.rows << row.toInt();
    n.senderName = o.value(QStringLiteral("sender")).toString();
    n.sender = o.value(QStringLiteral("senderLogin")).toString();
    n.senderId = o.value(QStringLiteral("senderId")).toInt();
    n.subject = o.value(QStringLiteral("subject")).toString();
    n.category = o.value(QStringLiteral("category")).toString();
    n.date = o.value(QStringLiteral("date")).toString();
    n.time = o.value(QStringLiteral("time")).toString();
    n.due = QDateTime::fromString(o.value(QStringLiteral("due")).toString(), Qt::ISODate);
    n.told = QDateTime::fromString(o.value(QStringLiteral("told")).toString(), Qt::ISODate);
    n.missed = o.value(QStringLiteral("missed")).toInt();
    n.late = o.value(QStringLiteral("late")).toBool();
    n.needsConfirmation = o.value(QStringLiteral("needsConfirmation")).toBool();
    n.needsWindow = o.value(QStringLiteral("needsWindow")).toBool();
    n.text = o.value(QStringLiteral("text")).toString();
    return n;
}

} // namespace tzsndmsg::app
