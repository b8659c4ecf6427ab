#pragma once

#include "AutoDate.h"

#include <QString>
#include <QVariant>
#include <optional>

// The one place where dates, times and numbers become text and back, with US English
// conventions: "mm/dd/yyyy", "hh:nn ampm" (upper-case AM/PM), "h:nn am/pm" (lower case),
// and the named formats "General Date", "Short Date", "Long Date", "Short Time",
// "Medium Time", "Long Time".
namespace tzsndmsg::common::vb {

QString format(AutoDate value, const QString& pattern);
QString format(const QDateTime& value, const QString& pattern);
QString format(const QDate& value, const QString& pattern);
QString format(const QTime& value, const QString& pattern);

// The system's own text of a date value (CStr): "12/6/2026", "2:07:00 PM",
// "12/6/2026 2:07:00 PM"; the zero date-time gives "12:00:00 AM".
QString cstr(AutoDate value);

// Parses what a person or the store may hold: "12/06/2026", "12/6/26", "2026-12-06",
// "9:00 am", "9:00:00 AM", "13:15", "9 am", "12/06/2026 2:07 PM", ISO date-times.
// A time alone gives the zero date with that time; a date alone midnight.
std::optional<AutoDate> parseDate(const QString& text);
bool isDate(const QString& text);
// A QVariant holding a date, time, date-time, AutoDate or text.
std::optional<AutoDate> toDate(const QVariant& value);

// Numbers as the automation conversions read them: optional blanks, sign, digits, decimals.
bool isNumeric(const QString& text);
std::optional<double> toNumber(const QString& text);
// The leading number of a text ("12abc" gives 12, "abc" none).
std::optional<double> leadingNumber(const QString& text);
// Whole number with round-half-to-even, as CLng does.
qint64 roundHalfEven(double value);

// A value as text (QDate/QDateTime/AutoDate through cstr, numbers in decimal, null empty).
QString toText(const QVariant& value);

} // namespace tzsndmsg::common::vb
