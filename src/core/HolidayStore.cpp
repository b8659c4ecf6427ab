#include "core/HolidayStore.h"

#include "common/AutoDate.h"
#include "common/VbFormat.h"
#include "fields/FieldValue.h"
#include "tzsndmsg/HostServices.h"
#include "tzsndmsg/db/Database.h"
#include "tzsndmsg/db/Recordset.h"

namespace tzsndmsg::holidays {

namespace {

const QString kListStatement =
    QStringLiteral("Select hdocID, hdocDes, hdocUseDatFla, hdocObsOn, hdocObsWeeDay, hdocObsMon "
                   "from hdocTable where hdocInAct<>-1 and hdocHolFla=-1 order by hdocDes");
const QString kHolidayStatement = QStringLiteral("Select * from HDOCTable where hdocID=?");
const QString kDeleteStatement = QStringLiteral("delete from HDOCTable where hdocID=?");

// The store kind the record writer takes for the suite's tables.
constexpr int SuiteStoreKind = 0;

std::shared_ptr<db::Database> suite(HostServices& services, QString* error)
{
    auto connection = services.suiteConnection();
    if (!connection && error)
        *error = QStringLiteral("no connection to the office database");
    return connection;
}

qint64 numberOf(const db::Recordset& rs, const char* column)
{
    return common::FieldValueOrZero(rs, QLatin1String(column)).toLongLong();
}

} // namespace

std::optional<QList<HolidayListRow>> readHolidayList(HostServices& services, QString* error)
{
    auto connection = suite(services, error);
    if (!connection)
        return std::nullopt;
    db::Recordset rs = connection->query(services.adaptSqlFor(*connection, kListStatement), error);
    if (!rs.isOpen())
        return std::nullopt;
    QList<HolidayListRow> rows;
    rows.reserve(rs.recordCount());
    for (rs.moveFirst(); !rs.eof(); rs.moveNext())
        rows.append({numberOf(rs, "hdocID"), rs.value(QStringLiteral("hdocDes")).toString(),
                     numberOf(rs, "hdocUseDatFla") != 0, numberOf(rs, "hdocObsOn"),
                     numberOf(rs, "hdocObsWeeDay"), numberOf(rs, "hdocObsMon")});
    return rows;
}

std::optional<Holiday> readHoliday(HostServices& services, qint64 id, QString* error)
{
    auto connection = suite(services, error);
    if (!connection)
        return std::nullopt;
    db::Recordset rs =
        connection->query(services.adaptSqlFor(*connection, kHolidayStatement), {id}, error);
    if (!rs.isOpen() || rs.isEmpty())
        return std::nullopt;
    rs.moveFirst();
    Holiday h;
    h.id = id;
    h.description = common::FieldValue(rs, QStringLiteral("hdocDes")).toString();
    h.fixedDate = numberOf(rs, "hdocUseDatFla") != 0;
    h.obsOn = numberOf(rs, "hdocObsOn");
    h.obsWeeDay = numberOf(rs, "hdocObsWeeDay");
    h.obsMon = numberOf(rs, "hdocObsMon");
    h.onSat = numberOf(rs, "hdocOnSat");
    h.onSun = numberOf(rs, "hdocOnSun");
    h.iconFile = common::FieldValue(rs, QStringLiteral("hdocIcoFilNam")).toString();
    h.notForPartTimeStaff = numberOf(rs, "hdocNotAppToParEmp") != 0;
    return h;
}

std::optional<qint64> saveHoliday(HostServices& services, const Holiday& holiday, QString* error)
{
    QStringList names, texts;
    auto put = [&names, &texts](const char* name, const QString& text) {
        names << QLatin1String(name);
        texts << text;
    };
    auto number = [](qint64 value) { return QString::number(value); };
    if (holiday.id == 0) {
        const QString zeroDate = common::vb::cstr(common::AutoDate::zero());
        put("hdocHolFla", number(-1));
        put("hdocOffColFla", number(-1));
        put("hdocPayFla", number(-1));
        put("hdocStaDat", zeroDate);
        put("hdocEndDat", zeroDate);
    }
    put("hdocDes", holiday.description);
    put("hdocInAct", number(1));
    put("hdocUseDatFla", number(holiday.fixedDate ? -1 : 0));
    if (holiday.fixedDate) {
        put("hdocObsWeeDay", number(0));
        put("hdocObsOn", number(holiday.obsOn));
        put("hdocObsMon", number(holiday.obsMon));
        put("hdocOnSat", number(holiday.onSat));
        put("hdocOnSun", number(holiday.onSun));
    } else {
        put("hdocObsOn", number(holiday.obsOn));
        put("hdocObsWeeDay", number(holiday.obsWeeDay));
        put("hdocObsMon", number(holiday.obsMon));
        put("hdocOnSat", number(0));
        put("hdocOnSun", number(0));
    }
    put("hdocIcoFilNam", holiday.iconFile);
    put("hdocNotAppToParEmp", number(holiday.notForPartTimeStaff ? 1 : 0));

    qint64 key = holiday.id;
    if (!services.writeRecord(SuiteStoreKind, QStringLiteral("HDOCTable"), QStringLiteral("hdocID"),
                              key, names, texts, error))
        return std::nullopt;
    return key;
}

bool deleteHoliday(HostServices& services, qint64 id, QString* error)
{
    auto connection = suite(services, error);
    return connection &&
           connection->exec(services.adaptSqlFor(*connection, kDeleteStatement), {id}, error);
}

} // namespace tzsndmsg::holidays
