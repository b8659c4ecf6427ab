#include "tzsndmsg/WorkstationConfig.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QSysInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tzglob {

namespace {

const QString kDefault = QStringLiteral("default");

QString withSlash(QString folder)
{
    folder = QDir::fromNativeSeparators(folder.trimmed());
    if (!folder.isEmpty() && !folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

QString officeRoot()
{
    const QString home = qEnvironmentVariable("TZSNDMSG_HOME");
    if (!home.isEmpty())
        return QDir::cleanPath(home);
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/tzsndmsg");
}

QString defaultHelpFolder(const QString& root)
{
    if (QCoreApplication::instance()) {
        const QString installed =
            QCoreApplication::applicationDirPath() + QStringLiteral("/../share/tzsndmsg/help/");
        if (QFileInfo::exists(installed + QStringLiteral("index.html")))
            return QDir::cleanPath(installed) + QLatin1Char('/');
    }
    if (QFileInfo::exists(QStringLiteral("/usr/share/tzsndmsg/help/index.html")))
        return QStringLiteral("/usr/share/tzsndmsg/help/");
    return root + QStringLiteral("/help/");
}

// A configuration file is a few lines: anything larger is not one.
constexpr qint64 kLargestFile = 1 << 20;
// A file of garbage is told in a few lines, not in one per line.
constexpr int kWarningsPerFile = 10;

const char* const kKeys[] = {"database", "data", "help", "login", "computer", "quiet", "sound"};

// What is wrong with a tray setting's value, or nothing.
QString valueProblem(const QString& key, const QString& value)
{
    if (key == QLatin1String("quiet") && !WorkstationConfig::quietHours(value))
        return QStringLiteral("quiet=%1 is not a range of hours such as 12:00-13:00; ignored")
            .arg(value);
    if (key == QLatin1String("sound") && WorkstationConfig::soundOf(value).isNull())
        return QStringLiteral("sound=%1 is neither on, off nor the path of a sound file; ignored")
            .arg(value);
    return QString();
}

QString kindOf(mode_t mode)
{
    if (S_ISDIR(mode))
        return QStringLiteral("a folder");
    if (S_ISFIFO(mode))
        return QStringLiteral("a FIFO");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("a device");
    if (S_ISSOCK(mode))
        return QStringLiteral("a socket");
    return QStringLiteral("not a regular file");
}

bool isText(const QByteArray& line)
{
    for (const char c : line)
        if ((uchar(c) < 0x20 && c != '\t') || c == 0x7f)
            return false;
    QStringDecoder utf8(QStringDecoder::Utf8);
    (void)QString(utf8(line));
    return !utf8.hasError();
}

// What is wrong in a workstation file, line by line, as QSettings reads it: keys outside a
// section (or under [General]) are read, the rest is not.
QStringList lineWarnings(const QString& file, const QByteArray& bytes)
{
    QStringList out;
    int skipped = 0;
    auto warn = [&](int line, const QString& what) {
        if (out.size() < kWarningsPerFile)
            out << QStringLiteral("%1:%2: %3").arg(file).arg(line).arg(what);
        else
            ++skipped;
    };
    QString section;
    int number = 0;
    for (QByteArray line : bytes.split('\n')) {
        ++number;
        if (line.endsWith('\r'))
            line.chop(1);
        const QByteArray trimmed = line.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith(';') || trimmed.startsWith('#'))
            continue;
        if (!isText(line)) {
            warn(number, QStringLiteral("not a line of text; ignored"));
            continue;
        }
        const QString text = QString::fromUtf8(trimmed);
        if (text.startsWith(QLatin1Char('[')) && text.endsWith(QLatin1Char(']'))) {
            section = text.mid(1, text.size() - 2).trimmed();
            if (section.compare(QLatin1String("General"), Qt::CaseInsensitive) == 0)
                section.clear();
            else
                warn(number, QStringLiteral("section [%1] is not read here (the keys go before "
                                            "any section); its keys are ignored")
                                 .arg(section));
            continue;
        }
        const qsizetype equals = text.indexOf(QLatin1Char('='));
        if (equals <= 0) {
            warn(number, QStringLiteral("not a key=value line; ignored"));
            continue;
        }
        if (!section.isEmpty())
            continue; // told once, at the section
        const QString key = text.left(equals).trimmed();
        bool known = false;
        for (const char* k : kKeys)
            known = known || key == QLatin1String(k);
        if (!known)
            warn(number, QStringLiteral("unknown key \"%1\" (the keys are database, data, help, "
                                        "login, computer, quiet and sound); ignored")
                             .arg(key));
        else if (text.mid(equals + 1).trimmed().isEmpty())
            warn(number, QStringLiteral("%1= is empty; ignored").arg(key));
        else if (const QString problem = valueProblem(key, text.mid(equals + 1).trimmed());
                 !problem.isEmpty())
            warn(number, problem);
    }
    if (skipped > 0)
        out << QStringLiteral("%1: %2 more line(s) like these").arg(file).arg(skipped);
    return out;
}

} // namespace

bool WorkstationConfig::readable(const QString& file, bool keysToCheck)
{
    // Looked at before it is opened, and opened without waiting: a FIFO or a device in the
    // file's place must not hold the program.
    const QByteArray path = QFile::encodeName(file);
    struct stat st {};
    auto unreadable = [&] {
        const QString warning = QStringLiteral("%1: cannot be read (%2); skipped")
                                    .arg(file, QString::fromLocal8Bit(std::strerror(errno)));
        if (!warnings.contains(warning))
            warnings << warning;
        return false;
    };
    if (::stat(path.constData(), &st) != 0)
        return errno == ENOENT || errno == ENOTDIR ? false : unreadable();
    auto refuse = [&](const QString& why) {
        if (refused.isEmpty())
            refused = QStringLiteral("the configuration file %1 is %2").arg(file, why);
        return false;
    };
    if (!S_ISREG(st.st_mode))
        return refuse(kindOf(st.st_mode));
    const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return unreadable();
    QByteArray bytes;
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size <= kLargestFile;
    if (ok) {
        bytes.resize(qsizetype(st.st_size));
        qsizetype at = 0;
        while (at < bytes.size()) {
            const ssize_t n = ::read(fd, bytes.data() + at, size_t(bytes.size() - at));
            if (n <= 0)
                break;
            at += n;
        }
        bytes.truncate(at);
    }
    ::close(fd);
    if (!ok)
        return refuse(S_ISREG(st.st_mode) ? QStringLiteral("too large to be one (over 1 MiB)")
                                          : kindOf(st.st_mode));
    if (keysToCheck)
        for (const QString& warning : lineWarnings(file, bytes))
            if (!warnings.contains(warning))
                warnings << warning;
    return true;
}

QString WorkstationConfig::systemFile()
{
    const QString other = qEnvironmentVariable("TZSNDMSG_SYSTEM_CONFIG");
    return other.isEmpty() ? QStringLiteral("/etc/tzsndmsg.conf") : other;
}

QString WorkstationConfig::userFile()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/tzsndmsg/tzsndmsg.conf");
}

WorkstationConfig WorkstationConfig::load()
{
    WorkstationConfig c;
    const QString root = officeRoot();
    c.databaseUrl = {QStringLiteral("sqlite://") + root + QStringLiteral("/office.db"), kDefault};
    c.dataFolder = {root + QStringLiteral("/data/"), kDefault};
    c.helpFolder = {defaultHelpFolder(root), kDefault};
    c.loginName = {QStringLiteral("SUPERVISOR"), kDefault};
    c.quiet = {QString(), kDefault};
    c.sound = {QStringLiteral("off"), kDefault};
    c.computerName = {QSysInfo::machineHostName().toUpper(), kDefault};

    struct Key {
        const char* key;
        ConfigValue WorkstationConfig::*field;
        const char* environment;
    };
    const Key keys[] = {
        {"database", &WorkstationConfig::databaseUrl, "TZSNDMSG_DB_URL"},
        {"data", &WorkstationConfig::dataFolder, "TZSNDMSG_DATA"},
        {"help", &WorkstationConfig::helpFolder, "TZSNDMSG_HELP"},
        {"login", &WorkstationConfig::loginName, "TZSNDMSG_LOGIN"},
        {"computer", &WorkstationConfig::computerName, "TZSNDMSG_COMPUTER"},
        {"quiet", &WorkstationConfig::quiet, nullptr},
        {"sound", &WorkstationConfig::sound, nullptr},
    };

    // The data folder may come from any layer; its workstation settings lie under the files.
    auto layers = [&](bool dataOnly) {
        for (const QString& file : {systemFile(), userFile()}) {
            if (!c.readable(file, !dataOnly))
                continue;
            if (!dataOnly)
                c.filesRead << file;
            QSettings settings(file, QSettings::IniFormat);
            for (const Key& k : keys) {
                const bool isData = k.field == &WorkstationConfig::dataFolder;
                const QString value = settings.value(QLatin1String(k.key)).toString().trimmed();
                // A value told as wrong keeps what a layer below set.
                if (!value.isEmpty() && isData == dataOnly &&
                    valueProblem(QLatin1String(k.key), value).isEmpty())
                    c.*k.field = {value, file};
            }
        }
        for (const Key& k : keys) {
            if (!k.environment)
                continue;
            const bool isData = k.field == &WorkstationConfig::dataFolder;
            const QString value = qEnvironmentVariable(k.environment).trimmed();
            if (!value.isEmpty() && isData == dataOnly)
                c.*k.field = {value, QStringLiteral("environment ") + QLatin1String(k.environment)};
        }
    };
    layers(true);
    c.applyDataFolderWorkstation();
    layers(false);
    return c;
}

void WorkstationConfig::applyDataFolderWorkstation()
{
    const QString file = withSlash(dataFolder.value) + QStringLiteral("settings.ini");
    if (!readable(file, false))
        return;
    QSettings settings(file, QSettings::IniFormat);
    settings.beginGroup(QStringLiteral("Workstation"));
    const QString origin = file + QStringLiteral(" [Workstation]");
    auto take = [&](ConfigValue& field, const char* key) {
        const QString value = settings.value(QLatin1String(key)).toString().trimmed();
        if (!value.isEmpty() && field.origin == kDefault)
            field = {value, origin};
    };
    take(loginName, "LoginName");
    take(computerName, "ComputerName");
}

void WorkstationConfig::set(ConfigValue& field, const QString& value, const QString& origin)
{
    if (&field == &dataFolder &&
        refused.contains(withSlash(field.value) + QStringLiteral("settings.ini")))
        refused.clear(); // the folder given instead brings its own settings
    field = {value, origin};
    if (&field != &dataFolder)
        return;
    // Values that came from the previous data folder's settings belong to that folder.
    for (ConfigValue* own : {&loginName, &computerName})
        if (own->origin.endsWith(QLatin1String(" [Workstation]")))
            *own = {own == &loginName ? QStringLiteral("SUPERVISOR")
                                      : QSysInfo::machineHostName().toUpper(),
                    kDefault};
    applyDataFolderWorkstation();
}

bool WorkstationConfig::QuietHours::contains(QTime time) const
{
    const QTime t(time.hour(), time.minute());
    return from < to ? from <= t && t < to : from <= t || t < to;
}

std::optional<WorkstationConfig::QuietHours> WorkstationConfig::quietHours(const QString& text)
{
    const QStringList ends = text.split(QLatin1Char('-'));
    if (ends.size() != 2)
        return std::nullopt;
    QuietHours range;
    range.from = QTime::fromString(ends[0].trimmed(), QStringLiteral("H:mm"));
    range.to = QTime::fromString(ends[1].trimmed(), QStringLiteral("H:mm"));
    // 24:00 is the end of the day.
    if (!range.to.isValid() && ends[1].trimmed() == QLatin1String("24:00"))
        range.to = QTime(0, 0);
    if (!range.from.isValid() || !range.to.isValid() || range.from == range.to)
        return std::nullopt;
    return range;
}

QString WorkstationConfig::soundOf(const QString& text)
{
    const QString word = text.trimmed().toLower();
    for (const char* on : {"on", "yes", "true", "1", "beep"})
        if (word == QLatin1String(on))
            return QStringLiteral("beep");
    for (const char* off : {"off", "no", "false", "0"})
        if (word == QLatin1String(off))
            return QStringLiteral("");
    const QFileInfo file(text.trimmed());
    return file.isAbsolute() && file.isFile() ? file.absoluteFilePath() : QString();
}

Config WorkstationConfig::toConfig() const
{
    Config config;
    config.databaseUrl = databaseUrl.value.trimmed();
    config.dataFolder = withSlash(dataFolder.value);
    config.helpFolder = withSlash(helpFolder.value);
    config.loginName = loginName.value.trimmed().toUpper();
    config.computerName = computerName.value.trimmed().toUpper();
    return config;
}

} // namespace tzglob
