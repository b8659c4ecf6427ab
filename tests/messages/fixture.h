#pragma once

// An office on the test database, messages written through the services' record writer, and the
// message window opened on it.
#include "directory/StaffDirectory.h"
#include "messages/MessageListModel.h"
#include "messages/tzSndMsgFrm.h"
#include "state/SharedState.h"
#include "store/Schema.h"
#include "support/FreshSharedState.h"
#include "support/GuiDriver.h"
#include "support/Office.h"
#include "support/Picker.h"
#include "support/ScriptedPrompter.h"
#include "support/WindowWalk.h"
#include "tzsndmsg/db/Recordset.h"
#include "ui/DateCombo.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTabBar>
#include <QTableView>
#include <QTableWidget>
#include <QTest>
#include <QToolBar>
#include <memory>
#include <set>
#include <tuple>
#include <utility>

namespace tzsndmsg::testing {

struct Msg {
    QString who{};  // cmWho
    qint32 pid = 0; // cmPid, the sender
    QString subject{};
    QString body{};
    QString date = QStringLiteral("12/01/2026");
    QString time{}; // empty: 09:mm AM, a minute later each time
    QString category = QStringLiteral("Message");
    QString typ = QStringLiteral("256"); // cmTyp
    QString purged{};                    // CMPurFla, empty for null
    qint32 link = 0;                     // cmTraLinID
    bool needConfirm = false;
    bool receipt = false;
    bool payroll = false;
    bool saveAfterDisplay = false;
    int evTyp = 0; // -1: no EVTable row
};

struct To {
    qint32 pid = 0;
    int typ = 0; // 0 To, 1 Cc, 2 neither
    QString machine{};
    QString read{};    // BroChkDonDis, empty for null
    int saveTo = 0;    // BroChkSavToFla
    qint32 assPid = 0; // BroChkAssPID
};

using Row = std::tuple<qint64, int, QString>; // addressee: person, list, computer
using Rows = std::multiset<Row>;

// A toolbar's button by its key, nullptr when the toolbar has none.
inline QAction* buttonOf(const QWidget& window, const QString& toolbar, const QString& key)
{
    auto* bar = window.findChild<QToolBar*>(toolbar);
    if (bar)
        for (QAction* action : bar->findChildren<QAction*>())
            if (action->objectName().compare(key, Qt::CaseInsensitive) == 0)
                return action;
    return nullptr;
}

// What the main toolbar's button tells under the pointer, without its key.
inline QString toolTipOf(const QWidget& window, const QString& key)
{
    QAction* action = buttonOf(window, QStringLiteral("TB"), key);
    return action ? action->text() : QString(); // the tip without its key
}

// A button of a toolbar ("TB" or "TB_Small") pressed, or an entry of one of its drop-down menus
// chosen, as a click does: through its action. A disabled button does nothing.
inline void pressButton(QWidget& window, const QString& toolbar, const QString& key)
{
    if (QAction* action = buttonOf(window, toolbar, key))
        action->trigger();
    else
        ADD_FAILURE() << "no button " << key.toStdString() << " on " << toolbar.toStdString();
}

// The controls the tests work most, by their objectNames.
inline QTableView* listView(const QWidget& w)
{
    return control<QTableView>(&w, "TDBG");
}
inline QPlainTextEdit* textBox(const QWidget& w)
{
    return control<QPlainTextEdit>(&w, "txtMsg");
}
inline QLineEdit* subjectBox(const QWidget& w)
{
    return control<QLineEdit>(&w, "txtSubject");
}
inline QLineEdit* searchBox(const QWidget& w)
{
    return control<QLineEdit>(&w, "txtSearch");
}
inline QComboBox* reminderBox(const QWidget& w)
{
    return control<QComboBox>(&w, "cmbAla");
}

// ---- the list, driven as a user does ----
inline MessageListModel* model(const QWidget& w)
{
    return static_cast<MessageListModel*>(listView(w)->model());
}
inline int selectedRows(const QWidget& w)
{
    return int(listView(w)->selectionModel()->selectedRows().size());
}
inline QString cell(const QWidget& w, int row, int column)
{
    return model(w)->index(row, column).data().toString();
}
inline QStringList column(const QWidget& w, int col)
{
    QStringList out;
    for (int r = 0; r < model(w)->rowCount(); ++r)
        out << cell(w, r, col);
    return out;
}
inline QStringList subjects(const QWidget& w)
{
    return column(w, 6);
}
inline int rowOf(const QWidget& w, qint32 cmId)
{
    for (int r = 0; r < model(w)->rowCount(); ++r)
        if (model(w)->cmIdAt(r) == cmId)
            return r;
    return -1;
}
// Makes the message's row current, as the arrows do; true when the form shows it then.
inline bool show(tzSndMsgFrm& w, qint32 cmId)
{
    const int row = rowOf(w, cmId);
    if (row >= 0)
        listView(w)->setCurrentIndex(model(w)->index(row, 2));
    return row >= 0 && w.CMID() == cmId;
}
// A click on a row, as a person picks a message.
inline void clickRow(QWidget& w, int row)
{
    listView(w)->scrollTo(model(w)->index(row, 6));
    const QRect cell = listView(w)->visualRect(model(w)->index(row, 6));
    QTest::mouseClick(listView(w)->viewport(), Qt::LeftButton, {}, cell.center());
    QCoreApplication::processEvents();
}
inline bool boldRow(const QWidget& w, int row)
{
    return model(w)->index(row, 2).data(Qt::FontRole).value<QFont>().bold();
}
inline bool bold(const QWidget& w, qint32 cmId)
{
    const int row = rowOf(w, cmId);
    EXPECT_GE(row, 0) << "message " << cmId << " is not listed";
    return row >= 0 && boldRow(w, row);
}
// A label's text: "SB_Panel1" the record counter, "lblSearch" what a search found.
inline QString textOf(const QWidget& w, const char* name)
{
    return control<QLabel>(&w, name)->text();
}
// A toolbar's button clicked with the mouse.
inline void clickButton(QWidget& w, const char* toolbar, const QString& key)
{
    QAction* action = buttonOf(w, toolbar, key);
    ASSERT_TRUE(action) << "no button " << key.toStdString();
    QTest::mouseClick(control<QToolBar>(&w, toolbar)->widgetForAction(action), Qt::LeftButton);
}
// A check box clicked on its box.
inline void clickCheck(QWidget& w, const char* name)
{
    auto* box = control<QCheckBox>(&w, name);
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
}
// Words typed into the search box and the list narrowed: at once by Enter, else after the pause
// (false when it never came).
inline bool search(tzSndMsgFrm& w, const QString& words, bool enter = false)
{
    QSignalSpy done(&w, &tzSndMsgFrm::searchDone);
    QTest::keyClicks(searchBox(w), words);
    if (enter)
        QTest::keyClick(searchBox(w), Qt::Key_Return);
    return !done.isEmpty() || done.wait(5 * tzSndMsgFrm::SearchPauseMs + 2000);
}

constexpr auto ids = &Office::ids;

// A mouse press on a control, whether or not its window is on screen.
inline void pressOn(QWidget* widget)
{
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(2, 2), widget->mapToGlobal(QPointF(2, 2)),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &press);
}

class MessagesTest : public ::testing::Test {
protected:
    // The window closes as the host closes it, without the ask-to-save question.
    void TearDown() override
    {
        if (window)
            window->Unload();
        window.reset();
        expectNoVisibleWindows();
    }

    // The shared state of a workstation: services, current employee, login list.
    void atWorkstation(qint32 employee, std::shared_ptr<tzglob::tzGlobal> services = {})
    {
        auto& st = SharedState::current();
        st = SharedState{};
        st.GIC = services ? std::move(services) : office.services();
        st.CurrentEmployeeID = employee;
        LoadLoginNames();
    }

    qint32 seed(const Msg& m, const QList<To>& recipients = {}, QList<qint32>* rowIds = nullptr)
    {
        auto flag = [](bool on) { return QString(on ? "-1" : "0"); };
        auto n = [](qint64 v) { return QString::number(v); };
        auto write = [this](const char* table, const char* key, QStringList names,
                            QStringList texts, const QString& extraName, const QString& extra) {
            if (!extra.isEmpty()) {
                names << extraName;
                texts << extra;
            }
            qint64 id = 0;
            QString error;
            if (!office.services()->writeRecord(9, table, key, id, names, texts, &error))
                ADD_FAILURE() << table << ": " << error.toStdString();
            return id;
        };
        const QString time = m.time.isEmpty()
                                 ? QString("09:%1 AM").arg(++m_minute, 2, 10, QLatin1Char('0'))
                                 : m.time;
        const qint64 cmId = write(
            "CMTable", "cmID",
            {"cmTyp", "cmTraLinID", "cmTim", "cmDat", "cmWho", "cmPid", "cmCat", "cmSubCat",
             "cmDoc", "CMSubjec", "cmDocAftDis", "CMNeeCom", "CMShoOnRep", "cmConRec"},
            {m.typ, n(m.link), time, m.date, m.who, n(m.pid), m.category, "EMS", m.body, m.subject,
             flag(m.saveAfterDisplay), flag(m.needConfirm), flag(m.payroll), flag(m.receipt)},
            "CMPurFla", m.purged);
        if (m.evTyp >= 0)
            write("EVTable", "EVID", {"EvPID", "EvLinID", "EvTyp", "EvPri"},
                  {n(m.pid), n(cmId), n(m.evTyp), "False"}, {}, {});
        for (const To& r : recipients) {
            const qint64 row =
                write("BroChkTable", "BroChkID",
                      {"BroChkLinID", "BroChkPID", "BroChkTyp", "BroChkToMac", "BroChkSavToFla",
                       "BroChkAssPID"},
                      {n(cmId), n(r.pid), n(r.typ), r.machine, n(r.saveTo), n(r.assPid)},
                      "BroChkDonDis", r.read);
            if (rowIds)
                *rowIds << qint32(row);
        }
        return qint32(cmId);
    }

    // The compact window, loaded; the full one on a view of the small toolbar's menu.
    tzSndMsgFrm& open()
    {
        window = std::make_unique<tzSndMsgFrm>();
        window->load();
        return *window;
    }
    tzSndMsgFrm& openFull(const QString& entry = QStringLiteral("MsgHisMsg"))
    {
        open().firstActivation();
        pressButton(*window, "TB_Small", entry);
        return *window;
    }

    // The compact or the full window shown and active, as a user works in it: the first key goes
    // to it.
    tzSndMsgFrm& openShown()
    {
        EXPECT_TRUE(showActive(&open()));
        return *window;
    }
    tzSndMsgFrm& openFullShown(const QString& entry = QStringLiteral("MsgHisMsg"))
    {
        EXPECT_TRUE(showActive(&openFull(entry)));
        return *window;
    }
    // The window shown and active, as a user meets it; the subject and text typed into it.
    tzSndMsgFrm& write(const QString& subject, const QString& body)
    {
        tzSndMsgFrm& w = openShown();
        QTest::mouseClick(subjectBox(w), Qt::LeftButton);
        QTest::keyClicks(subjectBox(w), subject);
        QTest::mouseClick(textBox(w)->viewport(), Qt::LeftButton);
        QTest::keyClicks(textBox(w), body);
        return w;
    }
    // The To (0) or Cc (1) picker opened by its button, the entries holding any of the names
    // chosen, and OK pressed.
    static void pick(tzSndMsgFrm& w, int list, const QStringList& names)
    {
        ModalScript script;
        script.then(pickEntries(names));
        control<QPushButton>(&w, nth("CmdTo", list))->click();
    }
    // The compact window's send button pressed; the newest message's id afterwards.
    qint32 send(tzSndMsgFrm& w)
    {
        pressButton(w, "TB_Small", "MsgSend");
        return office.scalar("select max(cmID) from CMTable").toInt();
    }
    // The full window on the view that lists the message, its row clicked.
    tzSndMsgFrm& view(qint32 cmId, const QString& view = QStringLiteral("MsgHisAll"))
    {
        tzSndMsgFrm& w = openFull(view);
        if (rowOf(w, cmId) < 0)
            pressButton(w, "TB", "MsgSItem");
        EXPECT_TRUE(show(w, cmId)) << "message " << cmId << " is not listed";
        return w;
    }

    Rows rowsOf(qint32 cmId)
    {
        Rows rows;
        db::Recordset rs = office.query(
            "select BroChkPID, BroChkTyp, BroChkToMac from BroChkTable where BroChkLinID=?",
            {cmId});
        for (rs.moveFirst(); !rs.eof(); rs.moveNext())
            rows.insert({rs.value("BroChkPID").toLongLong(), rs.value("BroChkTyp").toInt(),
                         rs.value("BroChkToMac").toString()});
        return rows;
    }
    QVariant header(qint32 cmId, const QString& name)
    {
        return office.scalar("select " + name + " from CMTable where cmID=?", {cmId});
    }
    QVariant recipient(qint32 rowId, const QString& name)
    {
        return office.scalar("select " + name + " from BroChkTable where BroChkID=?", {rowId});
    }
    // The message's detail row against "name=value|name=value".
    void expectDetail(qint32 cmId, const QString& expected)
    {
        office.expectColumns("select * from EVTable where EvLinID=?", {cmId}, expected);
    }
    Office office;
    FreshSharedState state; // after the office: it goes first
    PrompterGuard prompter;
    std::unique_ptr<tzSndMsgFrm> window;

private:
    int m_minute = 0;
};

// Three employees, two of one department spelled in two cases; the front desk at WS1.
class ComposeTest : public MessagesTest {
protected:
    void SetUp() override
    {
        front = office.addEmployee("Front", "Fay", "FF", "FRONT", "Front Desk");
        nurse = office.addEmployee("Nurse", "Ned", "NN", "NURSE", "Clinical");
        doctor = office.addEmployee("Doctor", "Dora", "DD", "DOCTOR", "clinical");
        atWorkstation(front);
    }
    // A message from the doctor that asks for confirmation and a receipt and is payroll related.
    Msg fromDoctor(const QString& subject, const QString& body, const QString& typ = "256",
                   qint32 link = 0)
    {
        return {"DOCTOR", doctor, subject, body, "12/05/2026", "09:30 AM", "Message",
                typ,      {},     link,    true, true,         true};
    }
    qint32 front = 0, nurse = 0, doctor = 0;
};

// The front desk at WS1 and two billing clerks.
class ConfirmTest : public MessagesTest {
protected:
    void SetUp() override
    {
        front = office.addEmployee("Front", "Fran", "FF", "FRONT", "Front Desk");
        ben = office.addEmployee("Bennet", "Ben", "BN", "BEN", "Billing");
        carl = office.addEmployee("Carter", "Carl", "CC", "CARL", "Billing");
        atWorkstation(front);
        office.removeSignalFiles();
    }
    qint32 front = 0, ben = 0, carl = 0;
};

// The demo office's front desk (ANNA at FRONTDESK), as the README's pictures show it.
class DemoFrontDesk : public MessagesTest {
protected:
    void SetUp() override
    {
        QString error;
        ASSERT_TRUE(store::seedDemoOffice(*office.db(), office.dataFolder(), &error))
            << error.toStdString();
        atWorkstation(office.services()->employeeOfLogin("ANNA"),
                      office.workstation("FRONTDESK", "ANNA"));
    }
    // The full window at the given size, shown and active.
    tzSndMsgFrm& openFull(int width, int height)
    {
        tzSndMsgFrm& w = MessagesTest::openFull();
        w.resize(width, height);
        EXPECT_TRUE(showActive(&w));
        return w;
    }
};

} // namespace tzsndmsg::testing
