#pragma once

#include "core/Message.h"
#include "core/Moments.h"
#include "tzsndmsg/OfficeWatcher.h"

#include <QDateTime>
#include <QList>
#include <optional>

// What one inbox row tells, and when: its deliveries (the first, then its repeats) and its
// reminder, read through the message core's moments. Pure: every answer is relative to the
// moments the watcher gives.
namespace tzsndmsg::watcher {

struct WatchedRow {
    qint32 BroChkID = 0;
    bool read = false; // BroChkDonDis -1
    core::StoredMessage message;

    std::optional<core::DeliveryPlan> plan; // none: the message's moment cannot be read
    bool scheduledLater = false;            // a start later than the message's own moment was set
    std::optional<QDateTime> reminder;      // when it is told: not before a later start
    QString problem;                        // a reminder or a moment that cannot be read
};

// The row's moments from its stored message.
WatchedRow watchedRow(qint32 broChkId, bool read, const core::StoredMessage& message);

// What a row tells when the watcher first sees it at `now`: its delivery when it has started
// (an arrival, or a start set for later that passed while nobody watched, with the repeats
// since as `missed`) unless the row is already read, and a reminder that is already due. On the
// first start of a workstation (`baseline`) only unread arrivals are told.
QList<OfficeNotice> firstSight(const WatchedRow& row, const QDateTime& now, bool baseline);

// What falls due in (after, upTo]: the last delivery of that stretch (the first delivery
// only when the row is unread), with the others as `missed`, and the reminder.
QList<OfficeNotice> dueBetween(const WatchedRow& row, const QDateTime& after,
                               const QDateTime& upTo);

// The row's next moment after `after`; none when it has no more.
std::optional<QDateTime> nextMoment(const WatchedRow& row, const QDateTime& after);

// A notice of the row, without its moment.
OfficeNotice noticeOf(const WatchedRow& row, OfficeNotice::Kind kind);

} // namespace tzsndmsg::watcher
