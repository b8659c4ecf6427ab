// suite_host [FOLDER]: a suite that hands the component its own services object over its own
// database. It sets up the database and data folder in FOLDER (a fresh temporary folder when none
// is given), adds two employees, then
//   1. opens the message window, writes a message to Tom Hart in it as a person would (the To
//      button, the employee list, the send button) and lets the window close;
//   2. sends an announcement to Tom and the computer LAB-1 without a window;
// and checks the rows both left in the database. Nobody needs to be there: the window is driven
// through the component's modal seam, and a message box is printed and answered.
// Exit code 0 when every row is as expected.
#include "SuiteServices.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QToolBar>
#include <cstdio>
#include <functional>
#include <stdexcept>
#include <tzsndmsg/Office.h>
#include <tzsndmsg/db/RecordWriter.h>
#include <tzsndmsg/db/Recordset.h>
#include <tzsndmsg/tzSndMsgCls.h>
#include <tzsndmsg/ui/MessageBox.h>
#include <tzsndmsg/ui/Modal.h>

using tzsndmsg::db::Database;

namespace {

int failures = 0;

void check(bool ok, const QString& what)
{
    std::printf("%s %s\n", ok ? "ok  " : "FAIL", qPrintable(what));
    if (!ok)
        ++failures;
}

qint64 insert(Database& db, const QString& table, const QString& key, const QStringList& names,
              const QStringList& texts)
{
    qint64 id = 0;
    QString error;
    if (!tzsndmsg::db::writeRecord(db, table, key, id, names, texts, &error))
        throw std::runtime_error(qPrintable(table + QStringLiteral(": ") + error));
    return id;
}

// A person of the suite with a login and a department.
qint32 addEmployee(Database& db, const QString& last, const QString& first, const QString& initials,
                   const QString& login, const QString& department)
{
    const auto id = qint32(insert(db, QStringLiteral("PATable"), QStringLiteral("pID"),
                                  {QStringLiteral("PLasNam"), QStringLiteral("PFirNam"),
                                   QStringLiteral("PDocIni"), QStringLiteral("pTypEmp")},
                                  {last, first, initials, QStringLiteral("1")}));
    insert(db, QStringLiteral("PWMTable"), QStringLiteral("PWMID"),
           {QStringLiteral("PWMUseNam"), QStringLiteral("PWMPID")}, {login, QString::number(id)});
    const qint64 employment = insert(db, QStringLiteral("EBTable"), QStringLiteral("EBID"),
                                     {QStringLiteral("EBPid"), QStringLiteral("EBDep")},
                                     {QString::number(id), department});
    insert(db, QStringLiteral("ESTable"), QStringLiteral("ESID"),
           {QStringLiteral("EBID"), QStringLiteral("ESSta")},
           {QString::number(employment), QStringLiteral("Active")});
    return id;
}

// Lets Qt run until the condition holds, for at most five seconds.
bool waitFor(const std::function<bool()>& condition)
{
    QDeadlineTimer deadline(5000);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    return true;
}

template <typename T> T* control(QWidget& window, const QString& name)
{
    T* widget = window.findChild<T*>(name);
    if (!widget)
        throw std::runtime_error(
            qPrintable(QStringLiteral("no control %1 in %2").arg(name, window.objectName())));
    return widget;
}

// Shows the window as the component would and waits until it is active, so that what is typed
// next counts as the person's.
void showAndActivate(QDialog& window)
{
    window.show();
    window.activateWindow();
    if (!waitFor([&window] { return QApplication::activeWindow() == &window; }))
        throw std::runtime_error(
            qPrintable(window.objectName() + QStringLiteral(" did not become active")));
    QApplication::processEvents();
}

// What a person does in the two windows: in the employee list, choose Tom and press OK; in the
// message window, write the message, open the employee list from the To button, then send.
int drive(QDialog& window, const QString& recipient, bool* sent)
{
    showAndActivate(window);
    if (window.objectName() == QLatin1String("EMS_EmpList")) {
        auto* list = control<QListWidget>(window, QStringLiteral("List_0"));
        list->clearSelection();
        for (int i = 0; i < list->count(); ++i)
            if (list->item(i)->text().startsWith(recipient))
                list->item(i)->setSelected(true);
        control<QAbstractButton>(window, QStringLiteral("cmd_1"))->click();
        return window.result();
    }
    if (window.objectName() != QLatin1String("tzSndMsgFrm"))
        throw std::runtime_error(
            qPrintable(QStringLiteral("unexpected window ") + window.objectName()));
    auto* subject = control<QLineEdit>(window, QStringLiteral("txtSubject"));
    subject->setFocus();
    subject->insert(QStringLiteral("Autoclave in room 2"));
    auto* body = control<QPlainTextEdit>(window, QStringLiteral("txtMsg"));
    body->setFocus();
    body->insertPlainText(QStringLiteral("The autoclave in room 2 is serviced on Friday."));
    control<QAbstractButton>(window, QStringLiteral("CmdTo_0"))->click();
    auto* toolbar = control<QToolBar>(window, QStringLiteral("TB_Small"));
    control<QAbstractButton>(*toolbar, QStringLiteral("MsgSend"))->click();
    // Sent from the small window, the message closes it; a window still open is closed here.
    *sent = !window.isVisible();
    if (!*sent)
        window.reject();
    return window.result();
}

// The addressees of a message as "person id" or "computer name" entries.
QStringList addressees(Database& db, qint64 messageId)
{
    QStringList out;
    tzsndmsg::db::Recordset rs =
        db.query(db.dialect().adapt(QStringLiteral("SELECT BroChkPID, BroChkToMac FROM BroChkTable "
                                                   "WHERE BroChkLinID = ? ORDER BY BroChkID")),
                 {messageId});
    for (rs.moveFirst(); rs.isOpen() && !rs.eof(); rs.moveNext()) {
        const qint64 person = rs.value(QStringLiteral("BroChkPID")).toLongLong();
        out << (person ? QString::number(person)
                       : rs.value(QStringLiteral("BroChkToMac")).toString());
    }
    return out;
}

qint64 messageWhere(Database& db, const QString& condition, const QString& value)
{
    return db
        .scalar(
            db.dialect().adapt(QStringLiteral("SELECT max(cmID) FROM CMTable WHERE ") + condition),
            {value})
        .toLongLong();
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QTemporaryDir temporary;
    const QString folder =
        argc > 1 ? QDir(QString::fromLocal8Bit(argv[1])).absolutePath() : temporary.path();
    const QString dataFolder = folder + QStringLiteral("/data/");
    QDir().mkpath(folder);

    // The suite's own database, with the tables the component needs in it.
    QString error;
    auto db =
        Database::open(QStringLiteral("sqlite://") + folder + QStringLiteral("/suite.db"), &error);
    if (!db || !tzsndmsg::createOfficeSchema(*db, &error) ||
        !tzsndmsg::createDataFolder(dataFolder, &error)) {
        std::fprintf(stderr, "suite_host: %s\n", qPrintable(error));
        return 2;
    }
    auto services = std::make_shared<SuiteServices>(db, dataFolder, QStringLiteral("rosa"),
                                                    QStringLiteral("reception"));
    // The staff, once: a folder used before keeps its own.
    qint32 rosa = services->employeeOfLogin(QStringLiteral("ROSA"));
    qint32 tom = services->employeeOfLogin(QStringLiteral("TOM"));
    try {
        if (!rosa)
            rosa = addEmployee(*db, QStringLiteral("Lee"), QStringLiteral("Rosa"),
                               QStringLiteral("RL"), QStringLiteral("ROSA"),
                               QStringLiteral("Front Desk"));
        if (!tom)
            tom = addEmployee(*db, QStringLiteral("Hart"), QStringLiteral("Tom"),
                              QStringLiteral("TH"), QStringLiteral("TOM"), QStringLiteral("Lab"));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "suite_host: %s\n", e.what());
        return 2;
    }
    check(services->employeeOfLogin(QStringLiteral("rosa")) == rosa,
          "the suite finds Rosa's login");

    // Nobody is there to answer a box: it is printed and answered No where it asks, else OK.
    struct Printer : tzsndmsg::ui::Prompter {
        int ask(const tzsndmsg::ui::MessageBoxRequest& box) override
        {
            std::printf("box  [%s] %s\n", qPrintable(box.title), qPrintable(box.text));
            return box.buttons == 3 || box.buttons == 4 ? tzsndmsg::ui::vbNo : tzsndmsg::ui::vbOK;
        }
    };
    tzsndmsg::ui::MessageBox::setPrompter(std::make_shared<Printer>());
    bool sent = false;
    QString problem;
    tzsndmsg::ui::setModalHandler([&](QDialog& window) {
        try {
            return drive(window, QStringLiteral("Hart, Tom"), &sent);
        } catch (const std::exception& e) {
            problem = QString::fromLocal8Bit(e.what());
            window.hide();
            return int(QDialog::Rejected);
        }
    });

    tzsndmsg::tzSndMsgCls messages;
    messages.setGIC(services); // the component now works on the suite's services
    messages.Message_Start();  // returns when the window has closed
    messages.Message_Stop();
    check(problem.isEmpty() && sent, "the message window was written and sent" +
                                         (problem.isEmpty() ? QString() : ": " + problem));

    const qint64 written =
        messageWhere(*db, QStringLiteral("CMSubjec = ?"), QStringLiteral("Autoclave in room 2"));
    check(written != 0, "the window's message is in CMTable");
    check(addressees(*db, written) == QStringList{QString::number(tom)},
          "the window's message is addressed to Tom");

    QString text = QStringLiteral("The lab closes at noon today.");
    QString toIds = QString::number(tom);
    QString toComputers = QStringLiteral("LAB-1");
    QString category = QStringLiteral("Message"), subCategory = QStringLiteral("EMS");
    try {
        messages.AnnouncementSend(text, toIds, toComputers, category, subCategory);
    } catch (const std::exception& e) {
        check(false,
              QStringLiteral("the announcement was sent: ") + QString::fromLocal8Bit(e.what()));
    }
    const qint64 announcement = messageWhere(*db, QStringLiteral("cmDoc = ?"), text);
    check(announcement != 0 && announcement != written, "the announcement is in CMTable");
    check(db->scalar(QStringLiteral("SELECT cmWho FROM CMTable WHERE cmID = ?"), {announcement})
                  .toString() == QLatin1String("ROSA"),
          "the announcement is from Rosa");
    check(addressees(*db, announcement) ==
              QStringList({QString::number(tom), QStringLiteral("LAB-1")}),
          "the announcement is addressed to Tom and to LAB-1");

    tzsndmsg::ui::setModalHandler(nullptr);
    tzsndmsg::ui::MessageBox::setPrompter(nullptr);
    std::printf("%s\n", failures ? "suite_host: FAILED" : "suite_host: all rows as expected");
    return failures ? 1 : 0;
}
