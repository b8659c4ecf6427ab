#include "core/Message.h"

#include "common/VbFormat.h"
#include "fields/FieldValue.h"
#include "tzsndmsg/HostServices.h"
#include "tzsndmsg/db/Database.h"
#include "tzsndmsg/db/Recordset.h"

namespace tzsndmsg::core {

namespace vb = common::vb;

namespace {

// A stored flag: -1, 1 or True set; 0, False, null and empty clear.
bool flag(const db::Recordset& rs, const QString& column)
{
    const QVariant value = common::FieldValue(rs, column);
    if (!value.isValid() || value.isNull())
        return false;
    if (value.typeId() == QMetaType::Bool)
        return value.toBool();
    const QString text = value.toString().trimmed();
    if (text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
        return true;
    const auto number = vb::toNumber(text);
    return number && *number != 0;
}

QString text(const db::Recordset& rs, const QString& column)
{
    return vb::toText(common::FieldValue(rs, column));
}

qint32 number(const db::Recordset& rs, const QString& column)
{
    const QVariant value = common::FieldValueOrZero(rs, column);
    // A stored whole number is itself: no round trip through its text.
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::Short:
        if (!value.isNull() && qAbs(value.toLongLong()) < (qint64(1) << 53))
            return qint32(value.toLongLong());
        break;
    default:
        break;
    }
    const auto n = vb::toNumber(vb::toText(value));
    return n ? qint32(vb::roundHalfEven(*n)) : 0;
}

std::optional<qint32> numberOrNull(const db::Recordset& rs, const QString& column)
{
    if (rs.isNull(column))
        return std::nullopt;
    return number(rs, column);
}

// The first row of a statement on the message store, positioned; closed when there is none.
db::Recordset firstRow(HostServices& services, const QString& statement, QString* error)
{
    auto store = services.messageStoreConnection();
    if (!store) {
        if (error)
            *error = QStringLiteral("The message store is not open.");
        return {};
    }
    db::Recordset rs = store->query(services.adaptSqlFor(*store, statement), error);
    if (rs.isOpen() && !rs.isEmpty())
        rs.moveFirst();
    return rs;
}

bool hasRow(const db::Recordset& rs)
{
    return rs.isOpen() && !rs.isEmpty() && !rs.eof();
}

QVector<Addressee> readToAndCc(HostServices& services, qint32 cmId, QString* error)
{
    QVector<Addressee> rows;
    auto store = services.messageStoreConnection();
    if (!store)
        return rows;
    // In the order addressed: on PostgreSQL a row changed since (read, confirmed) lies
    // elsewhere in the table, so the order the rows are stored in is not it.
    db::Recordset rs = store->query(
        services.adaptSqlFor(*store, QStringLiteral("Select * from BroChkTable where BroChkLinID=? "
                                                    "And (BroChkTyp = 0 Or BroChkTyp = 1) "
                                                    "order by BroChkID")),
        {cmId}, error);
    if (rs.isOpen())
        for (rs.moveFirst(); !rs.eof(); rs.moveNext())
            rows << addresseeFrom(rs);
    return rows;
}

std::optional<StoredMessage> readWith(HostServices& services, const QString& statement,
                                      QString* error)
{
    db::Recordset rs = firstRow(services, statement, error);
    if (!hasRow(rs))
        return std::nullopt;
    try {
        StoredMessage message;
        message.header = headerFrom(rs);
        message.detail = detailFrom(rs);
        if (message.detail.exists)
            message.addressees = readToAndCc(services, message.header.cmID, error);
        return message;
    } catch (const db::FieldError& e) {
        if (error)
            *error = QString::fromUtf8(e.what());
        return std::nullopt;
    }
}

const QString kMessageOfHeader =
    QStringLiteral("SELECT CMTable.*, EVTable.*, CMTable.cmTyp FROM CMTable "
                   "LEFT JOIN EVTable") +
    QStringLiteral(" ON CMTable.cmID = EVTable.EVLinID ");

} // namespace

MessageHeader headerFrom(const db::Recordset& rs)
{
    MessageHeader h;
    h.cmID = number(rs, QStringLiteral("cmID"));
    h.cmTyp = numberOrNull(rs, QStringLiteral("cmTyp"));
    h.cmTraLinID = number(rs, QStringLiteral("cmTraLinID"));
    h.cmDat = text(rs, QStringLiteral("cmDat"));
    h.cmTim = text(rs, QStringLiteral("cmTim"));
    h.cmWho = text(rs, QStringLiteral("cmWho"));
    h.cmPid = number(rs, QStringLiteral("cmPid"));
    h.cmCat = text(rs, QStringLiteral("cmCat"));
    h.cmSubCat = text(rs, QStringLiteral("cmSubCat"));
    h.cmDoc = text(rs, QStringLiteral("cmDoc"));
    h.CMSubjec = text(rs, QStringLiteral("CMSubjec"));
    h.cmDocAftDis = flag(rs, QStringLiteral("cmDocAftDis"));
    h.CMNeeCom = flag(rs, QStringLiteral("CMNeeCom"));
    h.CMShoOnRep = flag(rs, QStringLiteral("CMShoOnRep"));
    h.cmConRec = flag(rs, QStringLiteral("cmConRec"));
    h.CMPurFla = numberOrNull(rs, QStringLiteral("CMPurFla"));
    return h;
}

MessageDetail detailFrom(const db::Recordset& rs)
{
    MessageDetail d;
    d.exists = !rs.isNull(QStringLiteral("EVID"));
    if (!d.exists)
        return d;
    d.EVID = number(rs, QStringLiteral("EVID"));
    d.EvPri = flag(rs, QStringLiteral("EvPri"));
    d.EVAlaFla = flag(rs, QStringLiteral("EVAlaFla"));
    d.EVAlaStaDatFla = flag(rs, QStringLiteral("EVAlaStaDatFla"));
    d.EVAlaStaDat = text(rs, QStringLiteral("EVAlaStaDat"));
    d.EVAlaStaTim = text(rs, QStringLiteral("EVAlaStaTim"));
    d.EvBroFla = flag(rs, QStringLiteral("EvBroFla"));
    d.EvBroStaDatFla = flag(rs, QStringLiteral("EvBroStaDatFla"));
    d.EvBroStaDat = text(rs, QStringLiteral("EvBroStaDat"));
    d.EvBroStaTim = text(rs, QStringLiteral("EvBroStaTim"));
    d.EvBroReaFla = flag(rs, QStringLiteral("EvBroReaFla"));
    d.EvBroReaEve = number(rs, QStringLiteral("EvBroReaEve"));
    d.EvBroReaTyp = numberOrNull(rs, QStringLiteral("EvBroReaTyp"));
    d.EvBroNumOfTim = number(rs, QStringLiteral("EvBroNumOfTim"));
    d.EvBroEndDatFla = flag(rs, QStringLiteral("EvBroEndDatFla"));
    d.EvBroEndDat = text(rs, QStringLiteral("EvBroEndDat"));
    return d;
}

Addressee addresseeFrom(const db::Recordset& rs)
{
    Addressee a;
    a.BroChkID = number(rs, QStringLiteral("BroChkID"));
    a.BroChkLinID = number(rs, QStringLiteral("BroChkLinID"));
    a.BroChkPID = number(rs, QStringLiteral("BroChkPID"));
    a.BroChkTyp = number(rs, QStringLiteral("BroChkTyp"));
    a.BroChkToMac = text(rs, QStringLiteral("BroChkToMac"));
    a.BroChkAssPID = number(rs, QStringLiteral("BroChkAssPID"));
    a.BroChkSavToFla = number(rs, QStringLiteral("BroChkSavToFla"));
    a.BroChkDonDis = numberOrNull(rs, QStringLiteral("BroChkDonDis"));
    if (const auto when = vb::toDate(rs.value(QStringLiteral("BroChkLasReaDatTim"))))
        a.BroChkLasReaDatTim = when->dateTime();
    return a;
}

std::optional<StoredMessage> readMessageOfAddressee(HostServices& services, qint32 broChkId,
                                                    QString* error)
{
    return readWith(
        services,
        QStringLiteral("SELECT CMTable.*, EVTable.*, CMTable.cmTyp FROM") +
            QStringLiteral(" ((CMTable LEFT JOIN EVTable ON CMTable.cmID = EVTable.EVLinID)") +
            QStringLiteral(" LEFT JOIN BroChkTable ON CMTable.cmID = BroChkTable.BroChkLinID)") +
            QStringLiteral(" WHERE ((BroChkTable.BroChkID)= ") + QString::number(broChkId) +
            QStringLiteral(" )"),
        error);
}

std::optional<StoredMessage> readMessage(HostServices& services, qint32 cmId, QString* error)
{
    return readWith(services,
                    kMessageOfHeader + QStringLiteral(" WHERE (CMTable.cmID=") +
                        QString::number(cmId) + QStringLiteral(")"),
                    error);
}

std::optional<StoredMessage> readLiveMessage(HostServices& services, qint32 cmId, QString* error)
{
    return readWith(
        services,
        kMessageOfHeader +
            QStringLiteral(" WHERE ((CMTable.cmTyp)>=0 or CMTable.cmTyp is null) and (cmID=") +
            QString::number(cmId) + QStringLiteral(")"),
        error);
}

std::optional<MessageHeader> readHeader(HostServices& services, qint32 cmId, QString* error)
{
    db::Recordset rs = firstRow(services,
                                QStringLiteral("Select * from cmTable where cmID=") +
                                    QString::number(cmId) + QStringLiteral(";"),
                                error);
    if (!hasRow(rs))
        return std::nullopt;
    try {
        return headerFrom(rs);
    } catch (const db::FieldError& e) {
        if (error)
            *error = QString::fromUtf8(e.what());
        return std::nullopt;
    }
}

std::optional<Addressee> readAddressee(HostServices& services, qint32 broChkId, QString* error)
{
    db::Recordset rs = firstRow(services,
                                QStringLiteral("Select * from BroChkTable where BroChkID=") +
                                    QString::number(broChkId) + QStringLiteral(";"),
                                error);
    if (!hasRow(rs))
        return std::nullopt;
    try {
        return addresseeFrom(rs);
    } catch (const db::FieldError& e) {
        if (error)
            *error = QString::fromUtf8(e.what());
        return std::nullopt;
    }
}

qint32 findLinkedReminder(HostServices& services, qint32 linkType, qint32 linkId,
                          const QString& loginName)
{
    db::Recordset rs =
        firstRow(services,
                 QStringLiteral("select * from CMTable where CMTyp=") + QString::number(linkType) +
                     QStringLiteral(" and CMTraLinID=") + QString::number(linkId) +
                     QStringLiteral(" and CMWho=") + services.quote(loginName),
                 nullptr);
    return hasRow(rs) ? number(rs, QStringLiteral("cmID")) : 0;
}

std::optional<LinkedRecord> readLinkedRecord(HostServices& services, qint32 linkType, qint32 linkId)
{
    if (linkType != 1 && linkType != 2)
        return std::nullopt;
    const bool absence = linkType == 1;
    auto suite = services.suiteConnection();
    if (!suite)
        return std::nullopt;
    db::Recordset rs = suite->query(services.adaptSqlFor(
        *suite, (absence ? QStringLiteral("select * from AbsTable where AbsTable.AbsID=")
                         : QStringLiteral("select * from ApTable where ApTable.ApID=")) +
                    QString::number(linkId) + QStringLiteral(";")));
    if (!rs.isOpen() || rs.isEmpty())
        return std::nullopt;
    rs.moveFirst();
    try {
        const auto day = vb::toDate(common::FieldValueOrZero(
            rs, absence ? QStringLiteral("AbsDat") : QStringLiteral("apDat")));
        const auto time = vb::toDate(common::FieldValueOrZero(
            rs, absence ? QStringLiteral("AbsStaTim") : QStringLiteral("apStaTim")));
        return LinkedRecord{day ? *day : common::AutoDate::zero(),
                            time ? *time : common::AutoDate::zero()};
    } catch (const db::FieldError&) {
        return std::nullopt;
    }
}

} // namespace tzsndmsg::core
