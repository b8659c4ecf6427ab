#include "tzsndmsg/OfficeWatcher.h"

#include "core/ChangeNotice.h"
#include "core/LoginList.h"
#include "core/Message.h"
#include "core/MessageListQuery.h"
#include "core/Snoozes.h"
#include "db/Internals.h"
#include "tzsndmsg/db/Database.h"
#include "tzsndmsg/db/Recordset.h"
#include "watcher/ChangeListener.h"
#include "watcher/DueTimer.h"
#include "watcher/Schedule.h"
#include "watcher/SignalFiles.h"
#include "watcher/WatchState.h"
#include "watcher/WatcherInternals.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QTimer>
#include <algorithm>

namespace tzsndmsg {

using watcher::WatchedRow;

QString OfficeNotice::kindName(Kind kind)
{
    switch (kind) {
    case Kind::Arrived:
        return QStringLiteral("arrived");
    case Kind::Started:
        return QStringLiteral("started");
    case Kind::Repeated:
        return QStringLiteral("repeated");
    case Kind::Reminder:
        return QStringLiteral("reminder");
    case Kind::Snoozed:
        return QStringLiteral("snoozed");
    }
    return QString();
}

namespace {

// A change seen on a signal file while PostgreSQL's notices are heard is looked at only when no
// notice came with it (a writer that sends none); a save sends both.
constexpr int FileAfterNoticeMs = 1000;
// Signal files and notices of one save arrive in a burst: one look for the burst.
constexpr int NoticeLookDelayMs = 2;
// A save writes a signal per row: the look waits until the files are quiet for a moment, and
// never longer than FileBurstMaxMs after the first change.
constexpr int FileLookDelayMs = 25;
constexpr int FileBurstMaxMs = 250;
// With nothing to time, the wall-clock timer still waits, so that a clock set anew is heard.
constexpr qint64 IdleWaitMs = 24LL * 60 * 60 * 1000;

// The server refuses the person's own role (dropped, no longer allowed to log in, its
// password changed): asking again changes nothing until the office's setup mends it.
bool signInRefused(const QString& reason)
{
    static const QRegularExpression refused(
        QStringLiteral("role \"[^\"]*\" (does not exist|is not permitted to log in)|invalid role "
                       "OID|password authentication failed for user"));
    return refused.match(reason).hasMatch();
}

} // namespace

struct OfficeWatcher::Private {
    OfficeWatcher* q = nullptr;
    std::shared_ptr<HostServices> services;
    Options options;

    QString login, computer;
    core::MessageListParams params;
    QString channel;

    watcher::StateFile stateFile;
    watcher::WatchState state;
    QHash<qint32, WatchedRow> schedule; // rows with a moment still to come, by BroChkID
    QList<qint32> pendingIds;           // messages named by notices since the last look
    QSet<qint32> logged;                // rows whose problem was logged
    qint64 unread = -1;

    // The snoozes of this login and computer, as last read, and how the file looked then.
    QString snoozePath;
    QList<core::Snooze> snoozes;
    QDateTime snoozeFileTime;
    qint64 snoozeFileSize = -1;
    QFileSystemWatcher* snoozeWatch = nullptr;

    watcher::SignalFiles* files = nullptr;
    watcher::ChangeListener* listener = nullptr;
    watcher::DueTimer* dueTimer = nullptr;
    QTimer* lookTimer = nullptr;
    QTimer* fileTimer = nullptr;
    QTimer* reconnectTimer = nullptr;
    QTimer* listenTimer = nullptr;
    QElapsedTimer monotonic;
    qint64 lastNoticeMs = -1'000'000;
    qint64 fileChangeMs = 0;
    qint64 fileBurstMs = 0;
    bool lookFull = false;

    bool running = false;
    bool outage = false;
    bool listening = false;
    bool inLook = false;
    bool lookAgain = false;
    bool refused = false; // the server no longer lets the login sign in: nothing more is tried
    int reconnectDelay = 0;
    int listenDelay = 0; // the pause before the notices are asked for again; 0: not failed
    quint64 statements = 0;
    quint64 looks = 0;
    // Whether the store's connection reads the changes through the office's own function (a
    // signed-in role), asked once a connection.
    const db::Database* keptFor = nullptr;
    bool kept = false;

    struct Outcome {
        QList<OfficeNotice> notices;
        qint64 unread = -1;
    };

    // Adds the statements run in its scope to the watcher's count.
    struct Counting {
        Private* d;
        quint64 before;
        explicit Counting(Private* p) : d(p), before(db::Internals::statementsRunOnThisThread()) {}
        ~Counting() { d->statements += db::Internals::statementsRunOnThisThread() - before; }
    };

    std::shared_ptr<db::Database> store() const
    {
        return services ? services->messageStoreConnection() : nullptr;
    }
    QDateTime now() const { return services->currentDateTime(); }

    void log(const QString& text) { emit q->logged(text); }
    bool prepare(QString* error);
    void listen();
    bool fetch(bool full, Outcome& out, QString* error);
    void tell(const Outcome& outcome);
    void look(bool full);
    void requestLook(int delayMs, bool full = false);
    void onFileChanged();
    void onNotice(const core::ChangeNotice& notice);
    void onDue();
    void armTimer();
    void enterOutage(const QString& reason);
    void tryReconnect();
    bool anythingDue(const QDateTime& at) const;
    bool readSnoozes();
    void onSnoozesChanged();
    QList<core::Snooze> snoozesDue(const QDateTime& at) const;
    void saveState();
};

OfficeWatcher::OfficeWatcher(std::shared_ptr<HostServices> services, QObject* parent)
    : OfficeWatcher(std::move(services), Options(), parent)
{
}

OfficeWatcher::OfficeWatcher(std::shared_ptr<HostServices> services, Options options,
                             QObject* parent)
    : QObject(parent), d(std::make_unique<Private>())
{
    qRegisterMetaType<OfficeNotice>();
    d->q = this;
    d->services = std::move(services);
    d->options = std::move(options);
    d->monotonic.start();
}

OfficeWatcher::~OfficeWatcher()
{
    stop();
}

bool OfficeWatcher::start(QString* error)
{
    auto fail = [&](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    if (d->running)
        return true;
    const auto store = d->store();
    if (!store)
        return fail(QStringLiteral("the watcher has no open message store"));
    d->login = d->services->currentLoginName().trimmed().toUpper();
    d->computer = d->services->computerName().trimmed().toUpper();
    const QString path =
        !d->options.stateFile.isEmpty()
            ? d->options.stateFile
            : watcher::StateFile::defaultPath(d->options.role, d->login, d->computer, store->url());
    if (!d->stateFile.acquire(path, error))
        return false;
    QString problem;
    d->state = d->stateFile.load(&problem);
    d->running = true;
    d->refused = false;
    if (!problem.isEmpty())
        d->log(problem);

    d->lookTimer = new QTimer(this);
    d->lookTimer->setSingleShot(true);
    connect(d->lookTimer, &QTimer::timeout, this, [this] { d->look(d->lookFull); });
    d->fileTimer = new QTimer(this);
    d->fileTimer->setSingleShot(true);
    connect(d->fileTimer, &QTimer::timeout, this, [this] {
        if (d->lastNoticeMs < d->fileChangeMs - FileAfterNoticeMs)
            d->requestLook(0);
    });
    d->reconnectTimer = new QTimer(this);
    d->reconnectTimer->setSingleShot(true);
    connect(d->reconnectTimer, &QTimer::timeout, this, [this] { d->tryReconnect(); });
    d->listenTimer = new QTimer(this);
    d->listenTimer->setSingleShot(true);
    connect(d->listenTimer, &QTimer::timeout, this, [this] {
        if (!d->running || d->outage || d->listening)
            return;
        Private::Counting counting(d.get());
        d->listen();
        if (d->listening)
            d->requestLook(0); // what was saved while nobody listened
    });
    d->dueTimer = new watcher::DueTimer(this);
    connect(d->dueTimer, &watcher::DueTimer::due, this, [this] { d->onDue(); });
    connect(d->dueTimer, &watcher::DueTimer::clockSet, this, &OfficeWatcher::clockChanged);
    d->files = new watcher::SignalFiles(d->services->dataFolder(), d->options.fileCheckMs,
                                        d->options.fileSystemEvents, this);
    connect(d->files, &watcher::SignalFiles::changed, this, [this] { d->onFileChanged(); });
    connect(d->files, &watcher::SignalFiles::refused, this,
            [this](const QString& text) { d->log(text); });
    d->listener = new watcher::ChangeListener(this);
    connect(d->listener, &watcher::ChangeListener::notified, this,
            [this](const core::ChangeNotice& notice) { d->onNotice(notice); });
    connect(d->listener, &watcher::ChangeListener::lost, this,
            [this](const QString& reason) { d->enterOutage(reason); });
    d->files->start();

    d->snoozePath = !d->options.snoozeFile.isEmpty()
                        ? d->options.snoozeFile
                        : core::snoozeFilePath(d->login, d->computer, store->url());
    const QString snoozeFolder = QFileInfo(d->snoozePath).absolutePath();
    if (QDir().mkpath(snoozeFolder)) {
        // A snooze is written beside and renamed over the file: the folder tells of it.
        d->snoozeWatch = new QFileSystemWatcher(QStringList{snoozeFolder}, this);
        connect(d->snoozeWatch, &QFileSystemWatcher::directoryChanged, this,
                [this] { d->onSnoozesChanged(); });
    }
    d->readSnoozes();

    QString why;
    if (!d->prepare(&why)) {
        d->enterOutage(why);
        return true;
    }
    d->look(true);
    return true;
}

void OfficeWatcher::stop()
{
    if (!d->running)
        return;
    d->running = false;
    d->saveState();
    delete d->files;
    d->files = nullptr;
    delete d->listener;
    d->listener = nullptr;
    delete d->dueTimer;
    d->dueTimer = nullptr;
    delete d->lookTimer;
    d->lookTimer = nullptr;
    delete d->fileTimer;
    d->fileTimer = nullptr;
    delete d->reconnectTimer;
    d->reconnectTimer = nullptr;
    delete d->listenTimer;
    d->listenTimer = nullptr;
    d->listenDelay = 0;
    delete d->snoozeWatch;
    d->snoozeWatch = nullptr;
    d->snoozes.clear();
    d->snoozeFileSize = -1;
    d->listening = false;
    d->schedule.clear();
    d->stateFile.release();
}

bool OfficeWatcher::isRunning() const
{
    return d->running;
}
QString OfficeWatcher::loginName() const
{
    return d->login;
}
QString OfficeWatcher::computerName() const
{
    return d->computer;
}
QString OfficeWatcher::stateFile() const
{
    return d->stateFile.path();
}
qint64 OfficeWatcher::unreadCount() const
{
    return d->unread;
}
bool OfficeWatcher::isConnected() const
{
    return d->running && !d->outage;
}
bool OfficeWatcher::isListening() const
{
    return d->listening;
}
QVariantMap OfficeWatcher::stats() const
{
    return {{QStringLiteral("statements"), double(d->statements)},
            {QStringLiteral("looks"), double(d->looks)}};
}

quint64 WatcherInternals::statementsRun(const OfficeWatcher& w)
{
    return w.d->statements;
}
quint64 WatcherInternals::looks(const OfficeWatcher& w)
{
    return w.d->looks;
}

void OfficeWatcher::lookNow()
{
    d->look(false);
}

void OfficeWatcher::clockChanged()
{
    d->onDue();
}

// ---------------------------------------------------------------------------------------------

bool OfficeWatcher::Private::prepare(QString* error)
{
    Counting counting(this);
    const auto db = store();
    if (!db) {
        *error = QStringLiteral("the message store is not open");
        return false;
    }
    // A login without a person (one whose person has left the office among them) watches the
    // computer's rows only.
    params = core::MessageListParams();
    params.inboxView = true;
    params.msgCatOnly = false;
    // Logins that cannot be read tell nothing of whose rows these are: watching the computer's
    // alone would mark the person's as seen without telling them.
    const core::ViewLogin viewLogin = core::ResolveViewLogin(*services, login);
    if (!viewLogin.error.isEmpty()) {
        *error = core::viewLoginRefusal(viewLogin);
        return false;
    }
    core::setViewLogin(params, viewLogin, computer);

    listening = false;
    if (listenTimer)
        listenTimer->stop();
    if (db->backend() != db::Backend::Postgres)
        return true;
    const QVariant name = db->scalar(core::changeChannelStatement(), {}, error);
    if (!name.isValid())
        return false;
    channel = name.toString();
    if (options.notifications)
        listen();
    return true;
}

// The notices are heard on the store's connection, the one the watcher's statements run on.
// A refusal (a standby that takes no LISTEN until it is promoted) is asked again with the
// pause of a lost connection; the signal files tell meanwhile.
void OfficeWatcher::Private::listen()
{
    QString why;
    ++statements; // LISTEN
    const auto db = store();
    listening = db && listener->listenOn(db, channel, &why);
    if (listening) {
        listenDelay = 0;
        return;
    }
    if (listenDelay == 0) {
        listenDelay = std::max(1, options.reconnectFirstMs);
        log(why + QStringLiteral("; the signal files are watched until the notices are heard"));
    } else {
        listenDelay = std::min(listenDelay * 2, std::max(options.reconnectMaxMs, 1));
    }
    if (listenTimer)
        listenTimer->start(listenDelay);
}

bool OfficeWatcher::Private::readSnoozes()
{
    const QFileInfo info(snoozePath);
    const QDateTime time = info.exists() ? info.lastModified() : QDateTime();
    const qint64 size = info.exists() ? info.size() : 0;
    if (size == snoozeFileSize && time == snoozeFileTime)
        return false;
    snoozeFileSize = size;
    snoozeFileTime = time;
    QList<core::Snooze> read;
    QString why;
    if (!core::readSnoozes(snoozePath, read, &why)) {
        // Those read before are kept; the file is read again when it changes.
        if (!logged.contains(-1)) {
            logged.insert(-1);
            log(why);
        }
        return false;
    }
    snoozes = read;
    // Told snoozes that the file no longer keeps are forgotten.
    QSet<QString> kept;
    for (const core::Snooze& s : std::as_const(snoozes))
        kept.insert(s.id);
    const qsizetype before = state.toldSnoozes.size();
    state.toldSnoozes.intersect(kept);
    if (state.toldSnoozes.size() != before)
        saveState();
    return true;
}

void OfficeWatcher::Private::onSnoozesChanged()
{
    if (!running || !readSnoozes() || outage)
        return;
    if (!snoozesDue(now()).isEmpty())
        requestLook(0);
    else
        armTimer();
}

QList<core::Snooze> OfficeWatcher::Private::snoozesDue(const QDateTime& at) const
{
    QList<core::Snooze> due;
    for (const core::Snooze& s : snoozes)
        if (s.at <= at && !state.toldSnoozes.contains(s.id))
            due << s;
    return due;
}

bool OfficeWatcher::Private::anythingDue(const QDateTime& at) const
{
    if (!snoozesDue(at).isEmpty())
        return true;
    const QDateTime from = state.toldUpTo.isValid() ? state.toldUpTo : at;
    for (const WatchedRow& row : schedule) {
        const auto next = watcher::nextMoment(row, from);
        if (next && *next <= at)
            return true;
    }
    return false;
}

bool OfficeWatcher::Private::fetch(bool full, Outcome& out, QString* error)
{
    const auto db = store();
    if (!db) {
        *error = QStringLiteral("the message store is not open");
        return false;
    }
    if (files)
        files->acknowledge();
    const QDateTime now = this->now();
    const QDateTime from = state.toldUpTo.isValid() ? state.toldUpTo : now;

    // The rows whose moment came are read again: one deleted or purged since is not told.
    QSet<qint32> ids(pendingIds.begin(), pendingIds.end());
    const QList<core::Snooze> snoozed = snoozesDue(now);
    for (const core::Snooze& s : snoozed)
        ids.insert(s.message);
    for (const WatchedRow& row : std::as_const(schedule)) {
        const auto next = watcher::nextMoment(row, from);
        if (next && *next <= now)
            ids.insert(row.message.header.cmID);
    }
    QList<qint32> idList(ids.begin(), ids.end());
    std::sort(idList.begin(), idList.end());
    const qint64 after = full || state.floor < 0 ? -1 : state.floor;
    core::MessageListParams asOfNow = params;
    asOfNow.startedBy = now;

    db::Recordset rs;
    {
        Counting counting(this);
        if (keptFor != db.get()) {
            keptFor = db.get();
            kept = core::inboxChangesKeptToCaller(*db);
        }
        if (kept) {
            const core::InboxChangesCall call =
                core::buildKeptInboxChangesCall(asOfNow, after, idList);
            rs = db->query(services->adaptSqlFor(*db, call.text), call.values, error);
        } else {
            const QString sql = core::buildInboxChangesStatement(
                asOfNow, [this](const QString& text) { return services->quote(text); }, after,
                idList);
            rs = db->query(services->adaptSqlFor(*db, sql), error);
        }
    }
    ++looks;
    if (!rs.isOpen()) {
        keptFor = nullptr; // asked again: the office may have been signed in or opened since
        if (error->isEmpty())
            *error = QStringLiteral("the message store did not answer");
        return false;
    }
    pendingIds.clear();

    struct Read {
        qint32 id;
        bool read;
        core::StoredMessage message;
    };
    QList<Read> rows;
    try {
        for (rs.moveFirst(); !rs.eof(); rs.moveNext()) {
            out.unread = rs.value(QStringLiteral("unreadCount")).toLongLong();
            if (rs.isNull(QStringLiteral("BroChkID")))
                continue;
            Read r;
            r.id = rs.value(QStringLiteral("BroChkID")).toInt();
            r.read = core::listFlag(rs.value(QStringLiteral("BroChkDonDis")));
            r.message.header = core::headerFrom(rs);
            r.message.detail = core::detailFrom(rs);
            rows << r;
        }
    } catch (const db::FieldError& e) {
        *error = QString::fromUtf8(e.what());
        return false;
    }
    std::sort(rows.begin(), rows.end(), [](const Read& a, const Read& b) { return a.id < b.id; });

    const bool baseline = state.isFirstStart();
    QSet<qint32> present, fresh;
    QHash<qint32, const Read*> byRow;
    for (const Read& r : std::as_const(rows)) {
        present.insert(r.id);
        byRow.insert(r.id, &r);
        WatchedRow row = watcher::watchedRow(r.id, r.read, r.message);
        if (!row.problem.isEmpty() && !logged.contains(r.id)) {
            logged.insert(r.id);
            log(QStringLiteral("message %1 (%2): %3 Its moment is skipped.")
                    .arg(r.message.header.cmID)
                    .arg(r.message.header.CMSubjec, row.problem));
        }
        if (!state.isSeen(r.id)) {
            out.notices += watcher::firstSight(row, now, baseline);
            state.seen.insert(r.id);
            fresh.insert(r.id);
        }
        schedule.insert(r.id, row);
    }
    // Moments of rows seen before that fell due since the last look.
    for (auto it = schedule.begin(); it != schedule.end();) {
        const auto next = watcher::nextMoment(*it, from);
        if (!fresh.contains(it.key()) && next && *next <= now) {
            if (!present.contains(it.key())) {
                it = schedule.erase(it); // gone before its moment
                continue;
            }
            out.notices += watcher::dueBetween(*it, from, now);
        }
        ++it;
    }
    // A snooze falls due once; a row confirmed or gone by then is not told.
    for (const core::Snooze& s : snoozed) {
        state.toldSnoozes.insert(s.id);
        const Read* r = byRow.value(s.row);
        if (!r || r->read)
            continue;
        OfficeNotice n = watcher::noticeOf(watcher::watchedRow(r->id, r->read, r->message),
                                           OfficeNotice::Kind::Snoozed);
        n.due = s.at;
        n.told = now;
        n.late = s.at.secsTo(now) > 60;
        out.notices << n;
    }
    if (!state.toldUpTo.isValid() || now > state.toldUpTo)
        state.toldUpTo = now;
    for (auto it = schedule.begin(); it != schedule.end();)
        it = watcher::nextMoment(*it, state.toldUpTo) ? std::next(it) : schedule.erase(it);

    if (baseline) {
        // What is there at the first start is all seen.
        state.floor = std::max(state.floor, state.highestSeen());
        state.seen.clear();
    }
    state.advanceFloor(QDateTime::currentDateTimeUtc());
    saveState();
    return true;
}

void OfficeWatcher::Private::saveState()
{
    if (!stateFile.isHeld())
        return;
    QString error;
    if (!stateFile.save(state, &error) && !logged.contains(0)) {
        logged.insert(0);
        log(error);
    }
}

// Rows of one message told at the same moment (to the person and to her computer) are one
// notice; the lowest row leads.
static QList<OfficeNotice> mergeRows(const QList<OfficeNotice>& notices)
{
    QList<OfficeNotice> merged;
    for (OfficeNotice n : notices) {
        if (n.rows.isEmpty())
            n.rows = {n.BroChkID};
        auto same = std::find_if(merged.begin(), merged.end(), [&n](const OfficeNotice& m) {
            return m.cmID == n.cmID && m.kind == n.kind && m.due == n.due;
        });
        if (same == merged.end()) {
            merged << n;
            continue;
        }
        for (qint32 row : std::as_const(n.rows))
            if (!same->rows.contains(row))
                same->rows << row;
        std::sort(same->rows.begin(), same->rows.end());
        same->BroChkID = same->rows.first();
        same->missed = std::max(same->missed, n.missed);
        same->late = same->late || n.late;
    }
    return merged;
}

void OfficeWatcher::Private::tell(const Outcome& outcome)
{
    // People are told who wrote by name: one look-up for the senders of this look, none while
    // nothing is told.
    QList<OfficeNotice> notices = outcome.notices;
    if (!notices.isEmpty()) {
        QList<qint32> senders;
        for (const OfficeNotice& n : std::as_const(notices))
            if (n.senderId != 0 && !senders.contains(n.senderId))
                senders << n.senderId;
        const QHash<qint32, QString> names =
            senders.isEmpty() ? QHash<qint32, QString>() : services->personNames(senders);
        for (OfficeNotice& n : notices)
            n.senderName = names.value(n.senderId, n.sender);
    }
    // The host may open a window from a notice (a nested event loop): the look is over first.
    for (const OfficeNotice& n : mergeRows(notices)) {
        if (!running)
            return;
        switch (n.kind) {
        case OfficeNotice::Kind::Arrived:
            emit q->messageArrived(n);
            break;
        case OfficeNotice::Kind::Started:
        case OfficeNotice::Kind::Repeated:
            emit q->deliveryStarted(n);
            break;
        case OfficeNotice::Kind::Reminder:
            emit q->reminderDue(n);
            break;
        case OfficeNotice::Kind::Snoozed:
            emit q->snoozeDue(n);
            break;
        }
    }
    if (running && outcome.unread >= 0 && outcome.unread != unread) {
        unread = outcome.unread;
        emit q->unreadCountChanged(unread);
    }
}

void OfficeWatcher::Private::look(bool full)
{
    if (!running || outage)
        return;
    if (inLook) {
        lookAgain = true;
        return;
    }
    if (lookTimer)
        lookTimer->stop();
    lookFull = false;
    inLook = true;
    Outcome outcome;
    QString error;
    const bool ok = fetch(full, outcome, &error);
    inLook = false;
    if (!ok) {
        enterOutage(error);
        return;
    }
    armTimer();
    tell(outcome);
    if (lookAgain && running) {
        lookAgain = false;
        requestLook(0);
    }
}

void OfficeWatcher::Private::requestLook(int delayMs, bool full)
{
    if (!running || outage)
        return;
    lookFull = lookFull || full;
    if (!lookTimer->isActive() || lookTimer->remainingTime() > delayMs)
        lookTimer->start(delayMs);
}

void OfficeWatcher::Private::onFileChanged()
{
    if (listening) {
        fileChangeMs = monotonic.elapsed();
        if (!fileTimer->isActive())
            fileTimer->start(FileAfterNoticeMs);
        return;
    }
    if (!running || outage)
        return;
    const qint64 now = monotonic.elapsed();
    if (!lookTimer->isActive())
        fileBurstMs = now;
    lookTimer->start(now - fileBurstMs >= FileBurstMaxMs ? 0 : FileLookDelayMs);
}

void OfficeWatcher::Private::onNotice(const core::ChangeNotice& notice)
{
    // Also a notice for others accounts for the signal files its save wrote.
    lastNoticeMs = monotonic.elapsed();
    // Rows of this person or this computer are all the look reads: a change to others' rows
    // would read nothing new, and cost a statement per workstation of the office.
    if (!notice.concerns(params.currentEmployeeId, computer))
        return;
    if (notice.cmId > 0 && !pendingIds.contains(notice.cmId))
        pendingIds << notice.cmId;
    requestLook(NoticeLookDelayMs);
}

void OfficeWatcher::Private::onDue()
{
    if (!running || outage)
        return;
    readSnoozes();
    if (anythingDue(now()))
        look(false);
    else
        armTimer();
}

void OfficeWatcher::Private::armTimer()
{
    if (!dueTimer)
        return;
    std::optional<QDateTime> next;
    for (const WatchedRow& row : std::as_const(schedule)) {
        const auto at = watcher::nextMoment(row, state.toldUpTo);
        if (at && (!next || *at < *next))
            next = at;
    }
    for (const core::Snooze& s : std::as_const(snoozes))
        if (!state.toldSnoozes.contains(s.id) && (!next || s.at < *next))
            next = s.at;
    if (!next) {
        dueTimer->startIn(IdleWaitMs);
        return;
    }
    // The services' clock counts whole seconds: wake just after the moment.
    dueTimer->startIn(std::clamp<qint64>(now().msecsTo(*next) + 20, 1, IdleWaitMs));
}

void OfficeWatcher::Private::enterOutage(const QString& reason)
{
    if (!running)
        return;
    if (listener)
        listener->close();
    listening = false;
    if (listenTimer)
        listenTimer->stop();
    if (signInRefused(reason)) {
        if (refused)
            return;
        refused = true;
        const QString plain =
            QStringLiteral("%1 can no longer sign in to the office (the database server says: %2); "
                           "this workstation stops watching until it is started again")
                .arg(login, reason);
        if (reconnectTimer)
            reconnectTimer->stop();
        // Told once: as the outage when it is one, else beside the outage already told.
        if (!outage) {
            outage = true;
            emit q->connectionLost(plain);
        } else {
            log(plain);
        }
        return;
    }
    if (!outage) {
        outage = true;
        reconnectDelay = std::max(1, options.reconnectFirstMs);
        emit q->connectionLost(reason);
    } else {
        reconnectDelay = std::min(reconnectDelay * 2, std::max(options.reconnectMaxMs, 1));
    }
    if (running && reconnectTimer)
        reconnectTimer->start(reconnectDelay);
}

void OfficeWatcher::Private::tryReconnect()
{
    if (!running || !outage || refused)
        return;
    QString error;
    bool ok = false;
    if (const auto db = store()) {
        Counting counting(this);
        ok = db->reopen(&error);
    }
    ok = ok && prepare(&error);
    Outcome outcome;
    if (ok) {
        inLook = true;
        ok = fetch(true, outcome, &error);
        inLook = false;
    }
    if (!ok) {
        enterOutage(error); // the pause grows; nothing more is reported
        return;
    }
    outage = false;
    emit q->connectionRestored();
    armTimer();
    tell(outcome);
}

} // namespace tzsndmsg
