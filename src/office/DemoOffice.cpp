#include "store/Schema.h"
#include "tzsndmsg/Staff.h"
#include "tzsndmsg/db/Database.h"
#include "tzsndmsg/db/RecordWriter.h"

#include <QDate>
#include <QFile>
#include <QSettings>
#include <QTime>

namespace tzsndmsg::store {

namespace {

class Seeder {
public:
    explicit Seeder(db::Database& database) : m_db(database) {}

    qint64 add(const QString& table, const QString& key, const QStringList& names,
               const QStringList& texts)
    {
        if (!m_error.isEmpty())
            return 0;
        qint64 id = 0;
        if (!db::writeRecord(m_db, table, key, id, names, texts, &m_error))
            m_error = table + QStringLiteral(": ") + m_error;
        return id;
    }

    // A person through the staff setup, as an office manager adds one.
    qint64 person(const QString& last, const QString& first, const QString& initials,
                  const char* department, const char* login = "")
    {
        if (!m_error.isEmpty())
            return 0;
        StaffPersonFields fields;
        fields.last = last;
        fields.first = first;
        fields.initials = initials;
        fields.department = QLatin1String(department);
        if (*login)
            fields.login = QLatin1String(login);
        qint32 id = 0;
        if (!addStaffPerson(m_db, fields, &id, &m_error))
            m_error = QStringLiteral("%1, %2: %3").arg(last, first, m_error);
        return id;
    }

    void release(qint64 person, const QDate& date)
    {
        if (m_error.isEmpty() && !releaseStaffPerson(m_db, qint32(person), date, &m_error))
            m_error = QStringLiteral("releasing %1: %2").arg(person).arg(m_error);
    }

    void supervisorLogin()
    {
        if (m_error.isEmpty() && !addLogin(m_db, QStringLiteral("SUPERVISOR"), 0, &m_error))
            m_error = QStringLiteral("SUPERVISOR: ") + m_error;
    }

    void right(const QString& login, const char* right)
    {
        if (m_error.isEmpty() && !setLoginRight(m_db, login, QLatin1String(right), true, &m_error))
            m_error = QStringLiteral("%1's rights: %2").arg(login, m_error);
    }

    struct Recipient {
        qint64 person = 0;
        QString computer;
        int list = 0; // 0 To, 1 Cc
        bool read = false;
        qint64 confirmedAt = 0; // a computer read: the employee who confirmed there
        int minutesLater = 60;  // read this long after it was sent
    };

    void message(const QString& who, qint64 sender, const QDate& date, const QTime& time,
                 const QString& subject, const QString& body, const QList<Recipient>& to,
                 const QStringList& flags = {}, bool purged = false)
    {
        auto flag = [&](const char* name) {
            return flags.contains(QLatin1String(name)) ? QStringLiteral("-1") : QStringLiteral("0");
        };
        const qint64 cm = add(
            QStringLiteral("CMTable"), QStringLiteral("cmID"),
            {QStringLiteral("cmTyp"), QStringLiteral("cmTraLinID"), QStringLiteral("cmTim"),
             QStringLiteral("cmDat"), QStringLiteral("cmWho"), QStringLiteral("cmPid"),
             QStringLiteral("cmCat"), QStringLiteral("cmSubCat"), QStringLiteral("cmWhoMod"),
             QStringLiteral("cmDoc"), QStringLiteral("CMSubjec"), QStringLiteral("cmDocAftDis"),
             QStringLiteral("CMNeeCom"), QStringLiteral("CMShoOnRep"), QStringLiteral("cmConRec"),
             QStringLiteral("CMPurFla")},
            {QStringLiteral("256"), QStringLiteral("0"), time.toString(QStringLiteral("hh:mm AP")),
             date.toString(QStringLiteral("MM/dd/yyyy")), who, QString::number(sender),
             QStringLiteral("Message"), QStringLiteral("EMS"), who, body, subject, flag("save"),
             flag("confirm"), flag("payroll"), flag("receipt"),
             purged ? QStringLiteral("256") : QString()});
        add(QStringLiteral("EVTable"), QStringLiteral("EVID"),
            {QStringLiteral("EvPID"), QStringLiteral("EvLinID"), QStringLiteral("EvTyp"),
             QStringLiteral("EvPri"), QStringLiteral("EVAlaFla"), QStringLiteral("EVAlaStaDatFla"),
             QStringLiteral("EVAlaStaDat"), QStringLiteral("EVAlaStaTim"),
             QStringLiteral("EvBroFla"), QStringLiteral("EvBroStaDatFla"),
             QStringLiteral("EvBroStaDat"), QStringLiteral("EvBroStaTim"),
             QStringLiteral("EvBroReaFla"), QStringLiteral("EvBroReaEve"),
             QStringLiteral("EvBroReaTyp"), QStringLiteral("EvBroNumOfTim"),
             QStringLiteral("EvBroEndDatFla")},
            {QString::number(sender), QString::number(cm), QStringLiteral("0"),
             QStringLiteral("False"), QStringLiteral("0"), QStringLiteral("0"),
             QStringLiteral("12:00:00 AM"), QStringLiteral("12:00:00 AM"), QStringLiteral("-1"),
             QStringLiteral("-1"), date.toString(QStringLiteral("MM/dd/yyyy")),
             time.toString(QStringLiteral("h:mm ap")), QStringLiteral("0"), QStringLiteral("0"),
             QStringLiteral("-1"), QStringLiteral("0"), QStringLiteral("0")});
        for (const Recipient& r : to) {
            QStringList names{QStringLiteral("BroChkLinID"),  QStringLiteral("BroChkPID"),
                              QStringLiteral("BroChkTyp"),    QStringLiteral("BroChkToMac"),
                              QStringLiteral("BroChkAssPID"), QStringLiteral("BroChkSavToFla")};
            QStringList texts{QString::number(cm),
                              QString::number(r.read && r.confirmedAt ? r.confirmedAt : r.person),
                              QString::number(r.list),
                              r.computer,
                              QStringLiteral("0"),
                              QStringLiteral("0")};
            if (r.read) {
                names << QStringLiteral("BroChkDonDis") << QStringLiteral("BroChkLasReaDatTim");
                texts << QStringLiteral("-1")
                      << QDateTime(date, time)
                             .addSecs(qint64(60) * r.minutesLater)
                             .toString(Qt::ISODate);
            }
            add(QStringLiteral("BroChkTable"), QStringLiteral("BroChkID"), names, texts);
        }
    }

    void event(qint64 owner, const QString& who, const QDate& date, const QString& from,
               const QString& to, const QString& title, const QString& description,
               const QList<qint64>& attendees, int every = 0, int unit = 0, int times = 0)
    {
        const QDate created = QDate::currentDate();
        const qint64 cm =
            add(QStringLiteral("CMTable"), QStringLiteral("cmID"),
                {QStringLiteral("cmTyp"), QStringLiteral("cmTraLinID"), QStringLiteral("cmTim"),
                 QStringLiteral("cmDat"), QStringLiteral("cmWho"), QStringLiteral("cmPid"),
                 QStringLiteral("cmCat"), QStringLiteral("cmSubCat"), QStringLiteral("cmWhoMod"),
                 QStringLiteral("cmDoc"), QStringLiteral("CMSubjec")},
                {QStringLiteral("512"), QStringLiteral("0"), QStringLiteral("9:00:00 AM"),
                 created.toString(QStringLiteral("MM/dd/yyyy")), who, QStringLiteral("0"),
                 QStringLiteral("Events"), QStringLiteral("EMS"), who, description, title});
        QStringList names{QStringLiteral("EvPID"),          QStringLiteral("EvLinID"),
                          QStringLiteral("EvTyp"),          QStringLiteral("EvBroFla"),
                          QStringLiteral("EvBroStaDatFla"), QStringLiteral("EvBroStaDat"),
                          QStringLiteral("EvBroStaTim"),    QStringLiteral("evBroDat"),
                          QStringLiteral("EvBroReaFla")};
        QStringList texts{QString::number(owner),
                          QString::number(cm),
                          QStringLiteral("1"),
                          QStringLiteral("-1"),
                          QStringLiteral("-1"),
                          date.toString(QStringLiteral("MM/dd/yyyy")),
                          from,
                          to,
                          every ? QStringLiteral("-1") : QStringLiteral("0")};
        if (every) {
            names << QStringLiteral("EvBroReaEve") << QStringLiteral("EvBroReaTyp")
                  << QStringLiteral("EvBroNumOfTim");
            texts << QString::number(every) << QString::number(unit) << QString::number(times);
        }
        add(QStringLiteral("EVTable"), QStringLiteral("EVID"), names, texts);
        for (qint64 person : attendees)
            add(QStringLiteral("BroChkTable"), QStringLiteral("BroChkID"),
                {QStringLiteral("BroChkLinID"), QStringLiteral("BroChkPID"),
                 QStringLiteral("BroChkTyp")},
                {QString::number(cm), QString::number(person), QStringLiteral("0")});
    }

    void holiday(const QString& name, bool fixed, int on, int weekday, int month, int sat, int sun,
                 const QString& icon)
    {
        add(QStringLiteral("HDOCTable"), QStringLiteral("hdocID"),
            {QStringLiteral("hdocDes"), QStringLiteral("hdocInAct"),
             QStringLiteral("hdocUseDatFla"), QStringLiteral("hdocObsOn"),
             QStringLiteral("hdocObsWeeDay"), QStringLiteral("hdocObsMon"),
             QStringLiteral("hdocOnSat"), QStringLiteral("hdocOnSun"),
             QStringLiteral("hdocIcoFilNam"), QStringLiteral("hdocNotAppToParEmp"),
             QStringLiteral("hdocHolFla"), QStringLiteral("hdocOffColFla"),
             QStringLiteral("hdocPayFla"), QStringLiteral("hdocStaDat"),
             QStringLiteral("hdocEndDat")},
            {name, QStringLiteral("1"), fixed ? QStringLiteral("-1") : QStringLiteral("0"),
             QString::number(on), QString::number(weekday), QString::number(month),
             QString::number(sat), QString::number(sun), icon, QStringLiteral("0"),
             QStringLiteral("-1"), QStringLiteral("-1"), QStringLiteral("-1"),
             QStringLiteral("12:00:00 AM"), QStringLiteral("12:00:00 AM")});
    }

    void cannedText(const QString& store, const QString& title, const QString& text)
    {
        add(QStringLiteral("CannedTextTable"), QStringLiteral("CTKeyID"),
            {QStringLiteral("CTStoNam"), QStringLiteral("CTTit"), QStringLiteral("CTTxt")},
            {store, title, text});
    }

    QString error() const { return m_error; }

private:
    db::Database& m_db;
    QString m_error;
};

void writeDemoSettings(const QString& dataFolder)
{
    QSettings settings(dataFolder + QStringLiteral("settings.ini"), QSettings::IniFormat);
    settings.beginGroup(QStringLiteral("QNS_OFFICE_SETUP"));
    settings.setValue(QStringLiteral("OFFICE_LUNCH_LENGTH"), 45);
    for (int day = 1; day <= 5; ++day) {
        settings.setValue(QStringLiteral("OFFICE_START_TIME_%1").arg(day),
                          day == 5 ? QStringLiteral("7:30 AM") : QStringLiteral("8:00 AM"));
        settings.setValue(QStringLiteral("OFFICE_CLOSE_TIME_%1").arg(day),
                          day == 5 ? QStringLiteral("3:00 PM") : QStringLiteral("5:00 PM"));
    }
    settings.setValue(QStringLiteral("OFFICE_START_TIME_6"), QStringLiteral("9:00 AM"));
    settings.setValue(QStringLiteral("OFFICE_CLOSE_TIME_6"), QStringLiteral("12:00 PM"));
    settings.endGroup();
    settings.beginGroup(QStringLiteral("DEFAULT_OFFICE_SETUP"));
    settings.setValue(QStringLiteral("IncOriMsg"), true);
    settings.endGroup();
}

} // namespace

bool seedDemoOffice(db::Database& database, const QString& dataFolder, QString* error)
{
    db::Transaction transaction(database);
    if (!transaction.ok()) {
        if (error)
            *error = QStringLiteral("cannot start a transaction: ") + transaction.error();
        return false;
    }
    QString why;
    if (const QString lock = setUpLockStatement(database);
        !lock.isEmpty() && !database.exec(lock, &why)) {
        if (error)
            *error = why;
        return false;
    }
    // Asked under the lock: another workstation may have seeded the office meanwhile.
    const QVariant logins =
        database.scalar(QStringLiteral("SELECT count(*) FROM PWMTable"), {}, &why);
    if (!logins.isValid()) {
        if (error)
            *error = why;
        return false;
    }
    const QVariant people =
        database.scalar(QStringLiteral("SELECT count(*) FROM PATable"), {}, &why);
    if (!people.isValid()) {
        if (error)
            *error = why;
        return false;
    }
    if (logins.toLongLong() > 0 || people.toLongLong() > 0) {
        // Seeded before (the demo run again): nothing to add. An office with people of its own
        // is never mixed with the demo's.
        const QVariant demo = database.scalar(
            QStringLiteral("SELECT count(*) FROM PWMTable w JOIN PATable p ON p.pID = w.PWMPID "
                           "WHERE upper(w.PWMUseNam) = 'ANNA' AND p.PLasNam = 'Alvarez'"),
            {}, &why);
        if (demo.toLongLong() > 0)
            return true;
        if (error)
            *error = why.isEmpty() ? QStringLiteral("the office has people of its own: the demo "
                                                    "office is added only to an empty one")
                                   : why;
        return false;
    }

    Seeder s(database);

    // Front desk
    const qint64 anna = s.person(QStringLiteral("Alvarez"), QStringLiteral("Anna"),
                                 QStringLiteral("AA"), "front desk", "ANNA");
    const qint64 ben = s.person(QStringLiteral("Brooks"), QStringLiteral("Ben"),
                                QStringLiteral("BB"), "Front Desk", "BEN");
    const qint64 carla = s.person(QStringLiteral("Chen"), QStringLiteral("Carla"),
                                  QStringLiteral("CC"), "front desk", "CARLA");
    // Clinical
    const qint64 dave = s.person(QStringLiteral("Dawson"), QStringLiteral("David"),
                                 QStringLiteral("DD"), "clinical", "DAVE");
    const qint64 erin = s.person(QStringLiteral("O'Neill"), QStringLiteral("Erin"),
                                 QStringLiteral("EO"), "Clinical", "ERIN");
    const qint64 frank = s.person(QStringLiteral("Fischer"), QStringLiteral("Frank"),
                                  QStringLiteral("FF"), "clinical", "FRANK");
    const qint64 grace = s.person(QStringLiteral("Garcia"), QStringLiteral("Grace"),
                                  QStringLiteral("GG"), "clinical", "GRACE");
    // Billing
    const qint64 hank = s.person(QStringLiteral("Hughes"), QStringLiteral("Henry"),
                                 QStringLiteral("HH"), "billing", "HANK");
    const qint64 iris = s.person(QStringLiteral("Ito"), QStringLiteral("Iris"),
                                 QStringLiteral("II"), "Billing", "IRIS");
    // Administration
    const qint64 maria = s.person(QStringLiteral("Moreno"), QStringLiteral("Maria"),
                                  QStringLiteral("MM"), "administration", "MARIA");
    const qint64 jack = s.person(QStringLiteral("Jensen"), QStringLiteral("Jack"),
                                 QStringLiteral("JJ"), "administration");
    // A login row whose name was never filled in, as an interrupted entry of the suite leaves
    // it: the lists show Jack as an incomplete entry. The staff setup never writes one.
    s.add(QStringLiteral("PWMTable"), QStringLiteral("PWMID"),
          {QStringLiteral("PWMUseNam"), QStringLiteral("PWMPID")},
          {QString(), QString::number(jack)});
    // Left the office last spring; keeps a login that no longer shows.
    const qint64 kyle = s.person(QStringLiteral("Klein"), QStringLiteral("Kyle"),
                                 QStringLiteral("KK"), "billing", "KYLE");
    s.release(kyle, QDate(2026, 4, 30));
    // A new hire without a login yet.
    s.person(QStringLiteral("Lopez"), QStringLiteral("Lena"), QStringLiteral("LL"), "front desk");
    s.supervisorLogin();
    s.right(QStringLiteral("MARIA"), kSupervisorRight);
    s.right(QStringLiteral("MARIA"), "Msg_Cho_Sen");
    s.right(QStringLiteral("MARIA"), kPayrollMessagesRight);

    const QDate today = QDate::currentDate();
    using R = Seeder::Recipient;
    s.message(QStringLiteral("MARIA"), maria, today.addDays(-9), QTime(8, 5),
              QStringLiteral("Staff meeting moved"),
              QStringLiteral("The Thursday staff meeting moves to the break room at 12:30.\r\n"
                             "Lunch is provided."),
              {R{anna, {}, 0, true}, R{ben, {}, 0, true}, R{carla, {}, 0, false},
               R{dave, {}, 0, true}, R{erin, {}, 0, false}, R{frank, {}, 0, false}});
    s.message(QStringLiteral("DAVE"), dave, today.addDays(-3), QTime(11, 42),
              QStringLiteral("Room 2 autoclave"),
              QStringLiteral("The autoclave in room 2 shows an error again. I have called the "
                             "service company; please use room 3 until it is fixed."),
              {R{anna, {}, 0, false}, R{erin, {}, 1, false}, R{0, QStringLiteral("FRONTDESK"), 1}},
              {QStringLiteral("confirm")});
    s.message(QStringLiteral("HANK"), hank, today.addDays(-2), QTime(15, 10),
              QStringLiteral("Timesheets due Friday"),
              QStringLiteral("Please approve your timesheets by Friday noon."),
              {R{anna, {}, 0, false}, R{ben, {}, 0, true}, R{carla, {}, 0, false}},
              {QStringLiteral("payroll"), QStringLiteral("receipt")});
    s.message(QStringLiteral("ANNA"), anna, today.addDays(-1), QTime(9, 30),
              QStringLiteral("Mrs. Patel called"),
              QStringLiteral("Mrs. Patel asked for a call back about her lab results. "
                             "Best number after 4 pm."),
              {R{dave, {}, 0, false}, R{grace, {}, 1, true}});
    // The front desk asked everyone concerned to confirm; two have not yet, and the exam room's
    // computer was confirmed there by Grace.
    s.message(QStringLiteral("ANNA"), anna, today.addDays(-2), QTime(8, 40),
              QStringLiteral("New phone system on Monday"),
              QStringLiteral("The new phone system goes live on Monday at 7:30 am. Please read the "
                             "quick guide at the front desk before then."),
              {R{dave, {}, 0, true, 0, 25}, R{erin, {}, 0, false}, R{frank, {}, 0, true, 0, 95},
               R{0, QStringLiteral("EXAM-1"), 0, true, grace, 140}, R{maria, {}, 1, false},
               R{ben, {}, 1, true, 0, 32}},
              {QStringLiteral("confirm")});
    // This morning's message; an office made before then has it from yesterday morning, not from
    // later today (a message is delivered from its moment on).
    const QDate thisMorning = QTime::currentTime() >= QTime(8, 2) ? today : today.addDays(-1);
    s.message(QStringLiteral("CARLA"), carla, thisMorning, QTime(8, 2),
              QStringLiteral("Front desk printer"),
              QStringLiteral("The front desk printer is out of toner; a new one is ordered."),
              {R{0, QStringLiteral("FRONTDESK"), 0}, R{anna, {}, 0, false}});
    s.message(QStringLiteral("MARIA"), maria, today.addDays(-40), QTime(16, 45),
              QStringLiteral("Flu shots for staff"),
              QStringLiteral("Flu shots for staff are on the 15th."), {R{anna, {}, 0, true}}, {},
              true);

    s.event(maria, QStringLiteral("MARIA"), today.addDays(3), QStringLiteral("12:30 pm"),
            QStringLiteral("1:30 pm"), QStringLiteral("Staff meeting"),
            QStringLiteral("Weekly staff meeting in the break room."), {}, 1, 7, -1);
    s.event(maria, QStringLiteral("MARIA"), today.addDays(10), QStringLiteral("8:00 am"),
            QStringLiteral("10:00 am"), QStringLiteral("CPR refresher"),
            QStringLiteral("Annual CPR training for clinical staff."), {dave, erin, frank, grace});
    s.event(maria, QStringLiteral("MARIA"), today.addDays(17), QStringLiteral("1:00 pm"),
            QStringLiteral("5:00 pm"), QStringLiteral("Office closed early"),
            QStringLiteral("The office closes at 1 pm for the building's fire inspection."), {});
    // Events belong to their author; only the supervisor right shows everyone's. The front
    // desk's login keeps events of its own.
    s.event(anna, QStringLiteral("ANNA"), today.addDays(1), QStringLiteral("8:00 am"),
            QStringLiteral("8:30 am"), QStringLiteral("Reminder calls"),
            QStringLiteral("Call the next day's patients to confirm their appointments."),
            {ben, carla}, 1, -15, -1);
    s.event(anna, QStringLiteral("ANNA"), today.addDays(6), QStringLiteral("12:00 pm"),
            QStringLiteral("1:00 pm"), QStringLiteral("Front desk cover"),
            QStringLiteral("Ben covers the front desk while Anna is at the dentist."), {ben});
    // The billing review falls on the last Friday of each month, starting next month.
    QDate lastFriday = QDate(today.year(), today.month(), 1).addMonths(2).addDays(-1);
    while (lastFriday.dayOfWeek() != Qt::Friday)
        lastFriday = lastFriday.addDays(-1);
    s.event(maria, QStringLiteral("MARIA"), lastFriday, QStringLiteral("9:00 am"),
            QStringLiteral("9:30 am"), QStringLiteral("Billing review"),
            QStringLiteral("Month-end review of open claims."), {hank, iris}, 1, -2, 12);

    // hdocUseDatFla, on, weekday (1 = Sunday), month, Saturday and Sunday shifts.
    s.holiday(QStringLiteral("New Year's Day"), true, 1, 0, 1, 1, 2,
              QStringLiteral("icons\\Star.ico"));
    s.holiday(QStringLiteral("Martin Luther King Jr. Day"), false, 3, 2, 1, 0, 0,
              QStringLiteral("icons\\FlagUsa.ico"));
    s.holiday(QStringLiteral("Presidents' Day"), false, 3, 2, 2, 0, 0,
              QStringLiteral("icons\\FlagUsa.ico"));
    s.holiday(QStringLiteral("Memorial Day"), false, 0, 2, 5, 0, 0,
              QStringLiteral("icons\\FlagUsa.ico"));
    s.holiday(QStringLiteral("Juneteenth"), true, 19, 0, 6, 1, 2,
              QStringLiteral("icons\\Star.ico"));
    s.holiday(QStringLiteral("Independence Day"), true, 4, 0, 7, 1, 2,
              QStringLiteral("icons\\FlagUsa.ico"));
    s.holiday(QStringLiteral("Labor Day"), false, 1, 2, 9, 0, 0,
              QStringLiteral("icons\\FlagUsa.ico"));
    s.holiday(QStringLiteral("Thanksgiving Day"), false, 4, 5, 11, 0, 0,
              QStringLiteral("icons\\Leaf.ico"));
    s.holiday(QStringLiteral("Christmas Day"), true, 25, 0, 12, 1, 2,
              QStringLiteral("icons\\Tree.ico"));

    s.cannedText(QStringLiteral("MSGDB-OFFI"), QStringLiteral("Call back"),
                 QStringLiteral("Please call the patient back today."));
    s.cannedText(QStringLiteral("MSGDB-OFFI"), QStringLiteral("Chart ready"),
                 QStringLiteral("The chart is ready for review at the front desk."));

    if (!s.error().isEmpty()) {
        if (error)
            *error = s.error();
        return false;
    }
    if (!transaction.commit()) {
        if (error)
            *error = QStringLiteral("cannot commit the demo office: ") + transaction.error();
        return false;
    }

    QStringList computers;
    if (!listComputers(dataFolder, computers, error))
        return false;
    if (computers.isEmpty())
        for (const char* computer : {"FRONTDESK", "EXAM-1"})
            if (!addComputer(dataFolder, QLatin1String(computer), error))
                return false;
    writeDemoSettings(dataFolder);
    return true;
}

} // namespace tzsndmsg::store
