#include "watcher/Schedule.h"

#include "common/VbFormat.h"

namespace tzsndmsg::watcher {

namespace {

constexpr qint64 LateAfterSecs = 60;

// The message's own moment (cmDat, cmTim); invalid when the texts do not read.
QDateTime sentMoment(const core::MessageHeader& header)
{
    const auto day = common::vb::parseDate(header.cmDat);
    if (!day || day->datePart().isZero())
        return {};
    const auto time = common::vb::parseDate(header.cmTim);
    return QDateTime(day->date(), time ? time->time() : QTime(0, 0));
}

OfficeNotice noticeAt(const WatchedRow& row, OfficeNotice::Kind kind, const QDateTime& due,
                      const QDateTime& now)
{
    OfficeNotice n = noticeOf(row, kind);
    n.due = due;
    n.told = now;
    n.late = due.isValid() && due.secsTo(now) > LateAfterSecs;
    return n;
}

// The delivery notice for the deliveries `moments` (in order, all fallen due by `now`).
std::optional<OfficeNotice> deliveryNotice(const WatchedRow& row, const QList<QDateTime>& moments,
                                           const QDateTime& now)
{
    if (moments.isEmpty() || !row.plan)
        return std::nullopt;
    const bool withFirst = moments.first() == row.plan->first;
    if (withFirst && row.read && moments.size() == 1)
        return std::nullopt; // seen already: only its repeats bring it back
    OfficeNotice::Kind kind = OfficeNotice::Kind::Repeated;
    if (withFirst && !row.read)
        kind = row.scheduledLater ? OfficeNotice::Kind::Started : OfficeNotice::Kind::Arrived;
    OfficeNotice n = noticeAt(row, kind, moments.last(), now);
    n.missed = int(moments.size()) - 1;
    return n;
}

} // namespace

WatchedRow watchedRow(qint32 broChkId, bool read, const core::StoredMessage& message)
{
    WatchedRow row;
    row.BroChkID = broChkId;
    row.read = read;
    row.message = message;
    QString problem;
    row.plan = core::deliveryPlan(message, &problem);
    if (row.plan && row.plan->startsLater) {
        const QDateTime sent = sentMoment(message.header);
        row.scheduledLater = !sent.isValid() || row.plan->first > sent;
    }
    const core::StoredMoment reminder = core::reminderMoment(message.detail);
    if (reminder.at) {
        row.reminder = *reminder.at;
        // A reminder of a message that has not started yet comes with its start.
        if (row.plan && row.scheduledLater && row.plan->first > *row.reminder)
            row.reminder = row.plan->first;
    }
    row.problem = !reminder.problem.isEmpty() ? reminder.problem : problem;
    return row;
}

OfficeNotice noticeOf(const WatchedRow& row, OfficeNotice::Kind kind)
{
    const core::MessageHeader& h = row.message.header;
    OfficeNotice n;
    n.kind = kind;
    n.cmID = h.cmID;
    n.BroChkID = row.BroChkID;
    n.sender = h.cmWho;
    n.senderId = h.cmPid;
    n.subject = h.CMSubjec;
    n.text = h.cmDoc;
    n.category = h.cmCat;
    n.date = h.cmDat;
    n.time = h.cmTim;
    n.needsConfirmation = h.CMNeeCom;
    n.needsWindow = h.cmDocAftDis || h.CMShoOnRep || h.cmConRec;
    return n;
}

QList<OfficeNotice> firstSight(const WatchedRow& row, const QDateTime& now, bool baseline)
{
    QList<OfficeNotice> out;
    if (!row.plan) {
        // A message whose moment cannot be read is delivered as it is found.
        if (!row.read)
            out << noticeAt(row, OfficeNotice::Kind::Arrived, now, now);
    } else if (row.plan->first <= now) {
        QList<QDateTime> moments{row.plan->first};
        moments += core::deliveriesBetween(*row.plan, row.plan->first, now);
        if (baseline) {
            if (!row.read)
                out << noticeAt(row, OfficeNotice::Kind::Arrived, moments.last(), now);
        } else if (const auto n = deliveryNotice(row, moments, now)) {
            out << *n;
        }
    }
    if (!baseline && row.reminder && *row.reminder <= now)
        out << noticeAt(row, OfficeNotice::Kind::Reminder, *row.reminder, now);
    return out;
}

QList<OfficeNotice> dueBetween(const WatchedRow& row, const QDateTime& after, const QDateTime& upTo)
{
    QList<OfficeNotice> out;
    if (!(after < upTo))
        return out;
    if (row.plan)
        if (const auto n =
                deliveryNotice(row, core::deliveriesBetween(*row.plan, after, upTo), upTo))
            out << *n;
    if (row.reminder && *row.reminder > after && *row.reminder <= upTo)
        out << noticeAt(row, OfficeNotice::Kind::Reminder, *row.reminder, upTo);
    return out;
}

std::optional<QDateTime> nextMoment(const WatchedRow& row, const QDateTime& after)
{
    std::optional<QDateTime> next;
    if (row.plan)
        next = core::nextDeliveryAfter(*row.plan, after);
    if (row.reminder && *row.reminder > after && (!next || *row.reminder < *next))
        next = row.reminder;
    return next;
}

} // namespace tzsndmsg::watcher
