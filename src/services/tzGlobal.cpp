#include "tzsndmsg/tzGlobal.h"

#include "ComputerListFile.h"
#include "PathResolver.h"
#include "tzsndmsg/SignedIn.h"
#include "tzsndmsg/db/Database.h"
#include "tzsndmsg/db/RecordWriter.h"
#include "tzsndmsg/db/Recordset.h"
#include "tzsndmsg/db/SqlDialect.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QSaveFile>
#include <QSettings>
#include <QSysInfo>
#include <QTemporaryFile>
#include <limits>

namespace tzglob {

using tzsndmsg::db::Database;

namespace {

const QString kSupervisor = QStringLiteral("SUPERVISOR");
const QString kWriteFlagColumn = QStringLiteral("PWAWriFla");
const QString kChooseSenderRight = QStringLiteral("Msg_Cho_Sen");

QString folderWithSlash(const QString& folder)
{
    if (folder.isEmpty())
        return QString();
    QString f = QDir::fromNativeSeparators(folder);
    if (!f.endsWith(QLatin1Char('/')))
        f += QLatin1Char('/');
    return f;
}

// The form the record writer takes for a date-time column.
QString dateTimeText(const QDateTime& value)
{
    return value.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString flagText(bool flag)
{
    return flag ? QStringLiteral("-1") : QStringLiteral("0");
}

bool isSupervisor(const QString& login)
{
    return login.trimmed().compare(kSupervisor, Qt::CaseInsensitive) == 0;
}

// Fails when the folder is missing or a file cannot be made in it.
bool checkDataFolder(const QString& folder, QString* error)
{
    if (folder.isEmpty()) {
        if (error)
            *error = QStringLiteral("no data folder given");
        return false;
    }
    const QFileInfo info(folder);
    if (!info.isDir()) {
        if (error)
            *error = QStringLiteral("data folder %1 does not exist").arg(folder);
        return false;
    }
    QTemporaryFile probe(folder + QStringLiteral(".tzglob-probe-XXXXXX"));
    if (!probe.open()) {
        if (error)
            *error = QStringLiteral("data folder %1 is not writable").arg(folder);
        return false;
    }
    return true;
}

} // namespace

struct tzGlobal::Private {
    Config config;
    std::shared_ptr<Database> store, persons, suite;
    QDateTime fixedNow;
    QString loginName;
    tzsndmsg::SignedInIdentity signedIn;
    QString applicationFolder, programName;
    qint32 locationId = 0;
    QString lunchLength;
    QPointer<QObject> mainWindow;
    bool qns = false;
    TodoDialogHandler todoHandler;
    CannedTextHandler cannedHandler;
    LabOrderHandler labOrderHandler;

    QString settingsPath() const
    {
        if (!config.settingsFile.isEmpty())
            return config.settingsFile;
        return config.dataFolder + QStringLiteral("settings.ini");
    }

    QString adapt(Database& db, const QString& sql) const { return db.dialect().adapt(sql); }
};

tzGlobal::tzGlobal(Config config) : d(std::make_unique<Private>())
{
    config.dataFolder = folderWithSlash(config.dataFolder);
    config.helpFolder = folderWithSlash(config.helpFolder);
    config.computerName = config.computerName.trimmed().toUpper();
    d->loginName = config.loginName.trimmed().toUpper();
    d->config = std::move(config);
}

tzGlobal::~tzGlobal() = default;

bool tzGlobal::open(QString* error)
{
    QString reason;
    auto fail = [&](const QString& why) {
        d->store.reset();
        d->persons.reset();
        d->suite.reset();
        if (error)
            *error = why;
        return false;
    };
    if (d->config.databaseUrl.isEmpty())
        return fail(QStringLiteral("no database given"));

    auto openOne = [&](const QString& url, const QString& role) -> std::shared_ptr<Database> {
        QString why;
        auto db = Database::open(url, &why, tzsndmsg::db::OpenMode::ExistingFile);
        if (!db)
            reason = QStringLiteral("cannot open the %1 database: %2").arg(role, why);
        return db;
    };
    d->store = openOne(d->config.databaseUrl, QStringLiteral("office"));
    if (!d->store)
        return fail(reason);
    d->persons = d->config.personsDatabaseUrl.isEmpty()
                     ? d->store
                     : openOne(d->config.personsDatabaseUrl, QStringLiteral("persons"));
    if (!d->persons)
        return fail(reason);
    d->suite = d->config.suiteDatabaseUrl.isEmpty()
                   ? d->store
                   : openOne(d->config.suiteDatabaseUrl, QStringLiteral("suite"));
    if (!d->suite)
        return fail(reason);

    // A schema that cannot be read (a damaged store) is not a missing one.
    if (!d->store->hasTable(QStringLiteral("CMTable")))
        return fail(
            d->store->schemaError().isEmpty()
                ? QStringLiteral("the database has no table CMTable; create the schema first")
                : QStringLiteral("cannot read the office database: %1")
                      .arg(d->store->schemaError()));
    if (!d->persons->hasTable(QStringLiteral("PWMTable")))
        return fail(
            d->persons->schemaError().isEmpty()
                ? QStringLiteral("the database has no table PWMTable; create the schema first")
                : QStringLiteral("cannot read the persons database: %1")
                      .arg(d->persons->schemaError()));

    // The server said who this is; the login follows the role.
    if (!tzsndmsg::readSignedInIdentity(*d->store, d->signedIn, &reason))
        return fail(reason);
    if (!d->signedIn.login.isEmpty())
        d->loginName = d->signedIn.login;

    if (d->config.readOnlyDataFolder) {
        if (!QFileInfo(d->config.dataFolder).isDir())
            return fail(QStringLiteral("data folder %1 does not exist").arg(d->config.dataFolder));
    } else if (!checkDataFolder(d->config.dataFolder, &reason)) {
        return fail(reason);
    }
    return true;
}

const Config& tzGlobal::config() const
{
    return d->config;
}

void tzGlobal::setFixedNow(const QDateTime& now)
{
    d->fixedNow = now;
}

void tzGlobal::setTodoDialogHandler(TodoDialogHandler handler)
{
    d->todoHandler = std::move(handler);
}
void tzGlobal::setCannedTextHandler(CannedTextHandler handler)
{
    d->cannedHandler = std::move(handler);
}
void tzGlobal::setLabOrderHandler(LabOrderHandler handler)
{
    d->labOrderHandler = std::move(handler);
}
bool tzGlobal::hasTodoDialogHandler() const
{
    return bool(d->todoHandler);
}
bool tzGlobal::hasCannedTextHandler() const
{
    return bool(d->cannedHandler);
}

// --- life and user context -------------------------------------------------------------------

bool tzGlobal::startUp()
{
    if (d->store)
        return true;
    return open(nullptr);
}

void tzGlobal::shutDown()
{
    d->store.reset();
    d->persons.reset();
    d->suite.reset();
}

void tzGlobal::setApplication(const QString& folder, const QString& programName)
{
    d->applicationFolder = folderWithSlash(folder);
    d->programName = programName;
}

void tzGlobal::setLocation(qint32 locationId)
{
    d->locationId = locationId;
}

// Login names are kept in upper case, as the login list and the stored cmWho are.
void tzGlobal::setLogin(const QString& loginName)
{
    if (d->signedIn.login.isEmpty())
        d->loginName = loginName.trimmed().toUpper();
}

bool tzGlobal::signedInOffice() const
{
    return d->signedIn.signedIn;
}
QString tzGlobal::signedInLogin() const
{
    return d->signedIn.login;
}
QString tzGlobal::signedInRole() const
{
    return d->signedIn.role;
}
bool tzGlobal::unprotectedRole() const
{
    return d->signedIn.signedIn && d->signedIn.unprotected;
}

QString tzGlobal::currentLoginName() const
{
    return d->loginName;
}

qint32 tzGlobal::employeeOfLogin(const QString& loginName)
{
    // A blank name is no login, whatever row of the table has a blank name.
    if (!d->persons || loginName.trimmed().isEmpty())
        return 0;
    const QString sql =
        d->adapt(*d->persons, QStringLiteral("SELECT PWMPID FROM PWMTable WHERE "
                                             "upper(trim(PWMUseNam)) = ? ORDER BY PWMID"));
    auto rs = d->persons->query(sql, {loginName.trimmed().toUpper()});
    if (!rs.isOpen() || rs.isEmpty())
        return 0;
    rs.moveFirst();
    if (rs.isNull(QStringLiteral("PWMPID")))
        return 0;
    return qint32(rs.value(QStringLiteral("PWMPID")).toLongLong());
}

bool tzGlobal::isLogin(const QString& loginName, QString* error)
{
    const QString name = loginName.trimmed().toUpper();
    if (name.isEmpty())
        return false;
    if (name == kSupervisor)
        return true;
    if (!d->persons)
        return false;
    QString why;
    const QVariant found = d->persons->scalar(
        d->adapt(*d->persons,
                 QStringLiteral("SELECT count(*) FROM PWMTable WHERE upper(trim(PWMUseNam)) = ?")),
        {name}, &why);
    if (!found.isValid() && error)
        *error = why;
    return found.toLongLong() > 0;
}

bool tzGlobal::isReleasedLogin(const QString& loginName, QString* error)
{
    const qint32 person = employeeOfLogin(loginName);
    if (person == 0 || !d->persons)
        return false;
    const QVariant released = d->persons->scalar(
        d->adapt(
            *d->persons,
            QStringLiteral("SELECT count(*) FROM PATable WHERE pID=? AND pDatRel IS NOT NULL")),
        {person}, error);
    return released.toLongLong() > 0;
}

QStringList tzGlobal::computerNames()
{
    QFile file(resolvePath(d->config.dataFolder, QStringLiteral("stp\\Machines.Ini")));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList names;
    for (const QByteArray& line : file.readAll().split('\n')) {
        const QString name = QString::fromLocal8Bit(line).trimmed().toUpper();
        if (!name.isEmpty())
            names << name;
    }
    return names;
}

bool tzGlobal::checkRight(const QString& loginName, const QString& right, const QString& column,
                          const QString& programName)
{
    return checkAnyRight(loginName, {right}, column, programName);
}

bool tzGlobal::checkAnyRight(const QString& loginName, const QStringList& rights,
                             const QString& column, const QString& /*programName*/)
{
    // The column name is never spliced: only the write flag is a right's column.
    if (column.trimmed().compare(kWriteFlagColumn, Qt::CaseInsensitive) != 0)
        return false;
    if (isSupervisor(loginName))
        return true;
    QVariantList params{loginName.trimmed().toUpper()};
    for (const QString& right : rights)
        if (!right.trimmed().isEmpty())
            params << right.trimmed().toUpper();
    if (!d->persons || loginName.trimmed().isEmpty() || params.size() < 2)
        return false;
    // The rights in one read: a window asks for two at every message it shows.
    QString among = QStringLiteral("?");
    for (qsizetype i = 2; i < params.size(); ++i)
        among += QStringLiteral(", ?");
    const QString sql = d->adapt(
        *d->persons, QStringLiteral("SELECT PWAWriFla FROM PWATable WHERE upper(trim(PWAUseNam)) = "
                                    "? AND upper(trim(PWARigNam)) IN (") +
                         among + QLatin1Char(')'));
    auto rs = d->persons->query(sql, params);
    if (!rs.isOpen())
        return false;
    for (rs.moveFirst(); !rs.eof(); rs.moveNext()) {
        if (!rs.isNull(kWriteFlagColumn) && rs.value(kWriteFlagColumn).toLongLong() != 0)
            return true;
    }
    return false;
}

bool tzGlobal::loginMayChooseSender(const QString& loginName)
{
    if (isSupervisor(loginName))
        return true;
    return checkRight(loginName, kChooseSenderRight, kWriteFlagColumn, d->programName);
}

// --- connections and statements --------------------------------------------------------------

std::shared_ptr<Database> tzGlobal::personsConnection()
{
    return d->persons;
}
std::shared_ptr<Database> tzGlobal::suiteConnection()
{
    return d->suite;
}
std::shared_ptr<Database> tzGlobal::messageStoreConnection()
{
    return d->store;
}

QString tzGlobal::adaptSql(const QString& statement, int mode)
{
    if (d->store)
        return d->store->dialect().adapt(statement, mode);
    // Not open yet: adapt for the database the configuration names.
    const auto url = tzsndmsg::db::ConnectionUrl::parse(d->config.databaseUrl);
    const tzsndmsg::db::SqlDialect dialect(url ? url->backend : tzsndmsg::db::Backend::Sqlite);
    return dialect.adapt(statement, mode);
}

QString tzGlobal::statusFilter(const QString& table, const QString& /*alias*/)
{
    // The condition is placed before "EBTable.EBPid In (": it names ESTable itself.
    if (table.compare(QStringLiteral("ESTable"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("(ESTable.ESSta is null or ESTable.ESSta<>'Terminated') and ");
    return QString();
}

// --- clock -----------------------------------------------------------------------------------

QDateTime tzGlobal::currentDateTime() const
{
    if (d->fixedNow.isValid())
        return d->fixedNow;
    const QDateTime now = QDateTime::currentDateTime();
    // The suite's clock counts whole seconds.
    return QDateTime(now.date(),
                     QTime(now.time().hour(), now.time().minute(), now.time().second()));
}

QString tzGlobal::personName(qint32 personId)
{
    return personId == 0 ? QString() : personNames({personId}).value(personId);
}

QHash<qint32, QString> tzGlobal::personNames(const QList<qint32>& personIds)
{
    QHash<qint32, QString> names;
    if (!d->persons)
        return names;
    // Numbers only in the list; a long one goes in parts so that no statement grows unbounded.
    QList<qint32> wanted;
    for (qint32 id : personIds)
        if (id != 0 && !wanted.contains(id))
            wanted << id;
    constexpr qsizetype kPart = 500;
    for (qsizetype at = 0; at < wanted.size(); at += kPart) {
        QStringList list;
        for (qint32 id : wanted.mid(at, kPart))
            list << QString::number(id);
        auto rs = d->persons->query(
            d->adapt(*d->persons, QStringLiteral("SELECT pID, PFirNam, PLasNam FROM PATable "
                                                 "WHERE pID IN (") +
                                      list.join(QLatin1Char(',')) + QStringLiteral(")")));
        if (!rs.isOpen())
            continue;
        for (rs.moveFirst(); !rs.eof(); rs.moveNext()) {
            QStringList parts;
            for (const QString& column : {QStringLiteral("PFirNam"), QStringLiteral("PLasNam")}) {
                const QString part =
                    rs.isNull(column) ? QString() : rs.value(column).toString().trimmed();
                if (!part.isEmpty())
                    parts << part;
            }
            if (!parts.isEmpty())
                names.insert(qint32(rs.value(QStringLiteral("pID")).toLongLong()),
                             parts.join(QLatin1Char(' ')));
        }
    }
    return names;
}

QString tzGlobal::personDepartment(qint32 personId)
{
    if (!d->suite || personId == 0)
        return QString();
    const QString sql = d->adapt(
        *d->suite, QStringLiteral("SELECT EBDep FROM EBTable WHERE EBPid = ? ORDER BY EBID DESC"));
    auto rs = d->suite->query(sql, {personId});
    if (!rs.isOpen() || rs.isEmpty())
        return QString();
    rs.moveFirst();
    return rs.isNull(QStringLiteral("EBDep"))
               ? QString()
               : rs.value(QStringLiteral("EBDep")).toString().trimmed();
}

// --- folders and files -----------------------------------------------------------------------

QString tzGlobal::dataFolder() const
{
    return d->config.dataFolder;
}
QString tzGlobal::helpFolder() const
{
    return d->config.helpFolder;
}

QString tzGlobal::computerName() const
{
    if (!d->config.computerName.isEmpty())
        return d->config.computerName;
    return QSysInfo::machineHostName().toUpper();
}

bool tzGlobal::removeComputerName(const QString& name)
{
    // The one locked writer of the list, so that an edit at another workstation is not lost.
    if (name.trimmed().isEmpty())
        return true;
    return removeFromComputerList(d->config.dataFolder, name, nullptr);
}

// --- settings --------------------------------------------------------------------------------

QVariant tzGlobal::readSetting(const QString& section, const QString& key, int kind,
                               const QVariant& defaultValue)
{
    QSettings settings(d->settingsPath(), QSettings::IniFormat);
    const QString name = section + QLatin1Char('/') + key;
    if (!settings.contains(name))
        return defaultValue;
    QVariant stored = settings.value(name);
    switch (kind) {
    case 1: {
        const QString text = stored.toString().trimmed();
        bool ok = false;
        const qlonglong whole = text.toLongLong(&ok);
        if (ok) {
            if (whole >= std::numeric_limits<int>::min() &&
                whole <= std::numeric_limits<int>::max())
                return QVariant(int(whole));
            return QVariant(whole);
        }
        const double number = text.toDouble(&ok);
        return ok ? QVariant(number) : defaultValue;
    }
    case 2:
        return QVariant(stored.toString());
    default:
        return stored;
    }
}

void tzGlobal::writeSetting(const QString& section, const QString& key, const QVariant& value)
{
    QSettings settings(d->settingsPath(), QSettings::IniFormat);
    settings.setValue(section + QLatin1Char('/') + key, value);
    settings.sync();
}

void tzGlobal::setLunchLength(const QString& minutes)
{
    d->lunchLength = minutes;
}
QString tzGlobal::lunchLength() const
{
    return d->lunchLength;
}

// --- window-side services --------------------------------------------------------------------

QObject* tzGlobal::mainWindow()
{
    return d->mainWindow;
}
void tzGlobal::setMainWindow(QObject* window)
{
    d->mainWindow = window;
}
bool tzGlobal::isQnsProductLine()
{
    return d->qns;
}
void tzGlobal::setQnsProductLine(bool qns)
{
    d->qns = qns;
}

// --- filing ----------------------------------------------------------------------------------

namespace {

bool writeNoteRow(Database* db, qint32 personId, const QString& kind,
                  const tzsndmsg::NoteEntry& entry, const QDateTime& when, const QString& who,
                  QString* error)
{
    if (!db) {
        if (error)
            *error = QStringLiteral("the services are not open");
        return false;
    }
    qint64 key = 0;
    const QStringList names = {
        QStringLiteral("NTPid"),    QStringLiteral("NTKind"),   QStringLiteral("NTTxt"),
        QStringLiteral("NTSrc"),    QStringLiteral("NTLinID"),  QStringLiteral("NTCat"),
        QStringLiteral("NTSubCat"), QStringLiteral("NTPayRel"), QStringLiteral("NTSavAft"),
        QStringLiteral("NTDat"),    QStringLiteral("NTWho"),    QStringLiteral("NTTitle")};
    const QStringList texts = {QString::number(personId),
                               kind,
                               entry.text,
                               entry.source,
                               QString::number(entry.messageId),
                               entry.category,
                               entry.subCategory,
                               flagText(entry.payrollRelated),
                               flagText(entry.saveAfterDisplay),
                               dateTimeText(when),
                               who,
                               entry.title};
    return tzsndmsg::db::writeRecord(*db, QStringLiteral("NoteTable"), QStringLiteral("NTID"), key,
                                     names, texts, error);
}

} // namespace

bool tzGlobal::writeNote(qint32 personId, const tzsndmsg::NoteEntry& entry, QString* error)
{
    const QString who = entry.loginName.isEmpty() ? currentLoginName() : entry.loginName;
    return writeNoteRow(d->suite.get(), personId, QStringLiteral("Note"), entry, currentDateTime(),
                        who, error);
}

bool tzGlobal::writeTodo(qint32 personId, const tzsndmsg::NoteEntry& entry, QString* error)
{
    const QDate date = entry.date.isValid() ? entry.date : currentDate();
    const QString who = entry.loginName.isEmpty() ? currentLoginName() : entry.loginName;
    return writeNoteRow(d->suite.get(), personId, QStringLiteral("ToDo"), entry,
                        QDateTime(date, currentTime()), who, error);
}

bool tzGlobal::openTodoDialog(QObject* owner, QString& title)
{
    if (!d->todoHandler)
        return false;
    return d->todoHandler(owner, title);
}

QString tzGlobal::chooseCannedText(QObject* owner, const QString& caption, const QString& storeName)
{
    if (!d->cannedHandler)
        return QString();
    return d->cannedHandler(owner, caption, storeName);
}

QList<QPair<QString, QString>> tzGlobal::cannedTexts(const QString& storeName)
{
    QList<QPair<QString, QString>> texts;
    if (!d->suite)
        return texts;
    const QString sql =
        d->adapt(*d->suite, QStringLiteral("SELECT CTTit, CTTxt FROM CannedTextTable WHERE "
                                           "upper(trim(CTStoNam)) = ? ORDER BY CTTit, CTKeyID"));
    auto rs = d->suite->query(sql, {storeName.trimmed().toUpper()});
    if (!rs.isOpen())
        return texts;
    for (rs.moveFirst(); !rs.eof(); rs.moveNext()) {
        const QString title = rs.isNull(QStringLiteral("CTTit"))
                                  ? QString()
                                  : rs.value(QStringLiteral("CTTit")).toString();
        const QString text = rs.isNull(QStringLiteral("CTTxt"))
                                 ? QString()
                                 : rs.value(QStringLiteral("CTTxt")).toString();
        texts.append({title, text});
    }
    return texts;
}

bool tzGlobal::announceLabOrderMessage(const QString& sender, qint64 messageId, qint64 labOrderId)
{
    if (d->labOrderHandler)
        return d->labOrderHandler(sender, messageId, labOrderId);
    if (!d->suite)
        return false;
    qint64 key = 0;
    return tzsndmsg::db::writeRecord(*d->suite, QStringLiteral("LabOrderLinkTable"),
                                     QStringLiteral("LOID"), key,
                                     {QStringLiteral("LOMsgID"), QStringLiteral("LOOrdID"),
                                      QStringLiteral("LOSender"), QStringLiteral("LODat")},
                                     {QString::number(messageId), QString::number(labOrderId),
                                      sender, dateTimeText(currentDateTime())});
}

} // namespace tzglob
