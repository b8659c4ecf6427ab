#pragma once

#include "core/Message.h"
#include "core/Recurrence.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <optional>

// What the reminder and delivery columns of a stored message mean in time. Pure: every answer
// is relative to moments the caller gives, so a watcher decides what "now" is.
namespace tzsndmsg::core {

// A moment that stored columns set: none when they set none; none with the reason when they
// set one whose text cannot be read.
struct StoredMoment {
    std::optional<QDateTime> at;
    QString problem;
};

// The reminder of a message: EVAlaFla and EVAlaStaDatFla set, on EVAlaStaDat at EVAlaStaTim.
StoredMoment reminderMoment(const MessageDetail& detail);

// The start of a delivery set to start later: "Broadcast:" (EvBroFla) and "From :"
// (EvBroStaDatFla) ticked, on EvBroStaDat at EvBroStaTim (the start of the day when no time
// was stored).
StoredMoment deliveryStart(const MessageDetail& detail);

// "Repeat Every" units of the message window, with the events window's values.
bool isRepeatUnit(qint32 unit);

// When a message is delivered: once at its first moment, then, when "Repeat Every:" is ticked
// with a known unit, every N units at the same time of day, unlimited (-1), N more times, and
// not after the "Until :" date. The first moment is the start set for later, else the
// message's own date and time.
struct DeliveryPlan {
    QDateTime first;
    bool startsLater = false;
    RecurrenceRule repeats; // recurring only with a known unit; start is the first day
    bool hasUntil = false;
    QDate until; // invalid with hasUntil: no repeats

    bool isRepeating() const { return repeats.recurring; }
};

// The plan of a stored message; none with the reason when its first moment cannot be read.
std::optional<DeliveryPlan> deliveryPlan(const StoredMessage& message, QString* problem = nullptr);

// The first delivery strictly after `after`; none when the plan has no more.
std::optional<QDateTime> nextDeliveryAfter(const DeliveryPlan& plan, const QDateTime& after);

// The deliveries in (after, upTo], in order, at most maxCount of them (-1: all).
QList<QDateTime> deliveriesBetween(const DeliveryPlan& plan, const QDateTime& after,
                                   const QDateTime& upTo, int maxCount = -1);

} // namespace tzsndmsg::core
