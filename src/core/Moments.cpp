#include "core/Moments.h"

#include "common/VbFormat.h"

#include <algorithm>

namespace tzsndmsg::core {

namespace vb = common::vb;

namespace {

const QDate kLastDay(9999, 12, 31);

// A stored date text. A text holding only a time reads as the zero date: that is no date.
std::optional<QDate> dateOf(const QString& text)
{
    const auto value = vb::parseDate(text);
    if (!value || value->datePart().isZero())
        return std::nullopt;
    return value->date();
}

std::optional<QTime> timeOf(const QString& text)
{
    const auto value = vb::parseDate(text);
    if (!value)
        return std::nullopt;
    return value->time();
}

QString notADate(const QString& what, const QString& text)
{
    return QStringLiteral("The %1 \"%2\" is not a date.").arg(what, text);
}

QString notATime(const QString& what, const QString& text)
{
    return QStringLiteral("The %1 \"%2\" is not a time.").arg(what, text);
}

// A date and a time of day from their stored texts; an empty time is the start of the day.
StoredMoment momentOf(const QString& dateText, const QString& timeText, const QString& what)
{
    StoredMoment moment;
    const auto day = dateOf(dateText);
    if (!day) {
        moment.problem = notADate(what + QStringLiteral(" date"), dateText);
        return moment;
    }
    QTime time(0, 0);
    if (!timeText.trimmed().isEmpty()) {
        const auto t = timeOf(timeText);
        if (!t) {
            moment.problem = notATime(what + QStringLiteral(" time"), timeText);
            return moment;
        }
        time = *t;
    }
    moment.at = QDateTime(*day, time);
    return moment;
}

QDate lastRepeatDay(const DeliveryPlan& plan)
{
    return plan.hasUntil ? plan.until : kLastDay;
}

} // namespace

StoredMoment reminderMoment(const MessageDetail& detail)
{
    if (!detail.EVAlaFla || !detail.EVAlaStaDatFla)
        return {};
    if (detail.EVAlaStaTim.trimmed().isEmpty())
        return {std::nullopt, QStringLiteral("The reminder has a date but no time.")};
    return momentOf(detail.EVAlaStaDat, detail.EVAlaStaTim, QStringLiteral("reminder"));
}

StoredMoment deliveryStart(const MessageDetail& detail)
{
    // The window writes the start date only when it is a date: without one the message went
    // out at once.
    if (!detail.EvBroFla || !detail.EvBroStaDatFla || detail.EvBroStaDat.trimmed().isEmpty())
        return {};
    return momentOf(detail.EvBroStaDat, detail.EvBroStaTim, QStringLiteral("delivery start"));
}

bool isRepeatUnit(qint32 unit)
{
    switch (unit) {
    case ruDays:
    case ruWeeks:
    case ruMonth:
    case ruQuarters:
    case ruYears:
        return true;
    default:
        return false;
    }
}

std::optional<DeliveryPlan> deliveryPlan(const StoredMessage& message, QString* problem)
{
    const MessageDetail& d = message.detail;
    DeliveryPlan plan;
    StoredMoment first = deliveryStart(d);
    plan.startsLater = first.at.has_value();
    if (!first.at && first.problem.isEmpty())
        first = momentOf(message.header.cmDat, message.header.cmTim, QStringLiteral("message"));
    if (!first.at) {
        if (problem)
            *problem = first.problem;
        return std::nullopt;
    }
    plan.first = *first.at;

    RecurrenceRule& rule = plan.repeats;
    rule.start = plan.first.date();
    rule.unit = d.EvBroReaTyp.value_or(0);
    rule.recurring = d.exists && d.EvBroReaFla && isRepeatUnit(rule.unit);
    rule.every = d.EvBroReaEve;
    // "for N Times": the first delivery and N more, as the events window reads its count.
    rule.numberOfTimes = d.EvBroNumOfTim >= 0 ? d.EvBroNumOfTim : NumOfTimUnlimited;
    plan.hasUntil = d.EvBroEndDatFla;
    if (plan.hasUntil) {
        const auto until = dateOf(d.EvBroEndDat);
        plan.until = until.value_or(QDate());
        if (!until)
            rule.recurring = false; // "Until :" without a date ends the repeats at the first
    }
    return plan;
}

std::optional<QDateTime> nextDeliveryAfter(const DeliveryPlan& plan, const QDateTime& after)
{
    if (plan.first > after)
        return plan.first;
    if (!plan.isRepeating())
        return std::nullopt;
    const QDate last = lastRepeatDay(plan);
    const QDate from = std::max(after.date(), plan.first.date());
    if (from > last)
        return std::nullopt;
    // Every delivery has the first one's time of day: of the days from `after`'s on, only that
    // day itself can be too early.
    for (const QDate& day : nextOccurrences(plan.repeats, from, 3)) {
        if (day > last)
            break;
        const QDateTime at(day, plan.first.time());
        if (at > after)
            return at;
    }
    return std::nullopt;
}

QList<QDateTime> deliveriesBetween(const DeliveryPlan& plan, const QDateTime& after,
                                   const QDateTime& upTo, int maxCount)
{
    QList<QDateTime> out;
    if (!(after < upTo) || maxCount == 0)
        return out;
    auto take = [&](const QDateTime& at) {
        if (at > after && at <= upTo)
            out << at;
        return maxCount < 0 || out.size() < maxCount;
    };
    if (!take(plan.first) || !plan.isRepeating())
        return out;
    const QDate last = std::min(lastRepeatDay(plan), upTo.date());
    const QDate from = std::max(after.date(), plan.first.date().addDays(1));
    if (from > last)
        return out;
    for (const QDate& day : expandRecurrence(plan.repeats, from, last))
        if (!take(QDateTime(day, plan.first.time())))
            break;
    return out;
}

} // namespace tzsndmsg::core
