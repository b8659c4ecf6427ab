#pragma once

#include "tzsndmsg/db/Database.h"

#include <QDate>
#include <QMetaType>
#include <QTime>
#include <QVariant>

// Internal to the database layer: the forms values take on the way in and out.
namespace tzsndmsg::db::detail {

// A declared type name ("DATETEXT", "character varying", "VARCHAR(50)") as a ColumnType.
ColumnType columnTypeFromName(const QString& declared);

// A value as fetched from the driver, turned into what readers get for a column of that type.
// Integers become qint64, DateText ISO dates "MM/dd/yyyy" text, TimeText "h:mm:ss AP" text,
// DateTime a QDateTime; NULL an invalid QVariant.
QVariant readForm(const QVariant& raw, bool isNull, ColumnType type);

// The date and time texts readers give for DateText and TimeText ("MM/dd/yyyy",
// "h:mm:ss AP") read back, as lists sort them; invalid when the text is neither.
QDate dateOfListText(const QString& text);
QTime timeOfListText(const QString& text);

// The ADO code of a column whose declared type is unknown, from the driver's value type.
int adoTypeCodeOfMetaType(QMetaType type);

bool isDdl(const QString& statement);

} // namespace tzsndmsg::db::detail
