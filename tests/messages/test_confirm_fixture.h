#pragma once

// An office with a few employees, messages seeded through the record writer, and the full
// message window opened on an inbox of a chosen workstation.
#include "support/GuiDriver.h"
#include "support/Office.h"
#include "support/ScriptedPrompter.h"

#include "component/SharedState.h"
#include "db/Recordset.h"
#include "directory/StaffDirectory.h"
#include "messages/MessageListModel.h"
#include "messages/tzSndMsgFrm.h"

#include <QFile>
#include <QFont>
#include <QLabel>
#include <QTableView>

#include <memory>
#include <utility>

namespace tzsndmsg::testing::confirm {

inline qint64 write(Office& office, const QString& table, const QString& key,
                    const QStringList& names, const QStringList& texts)
{
    qint64 id = 0;
    QString error;
    if (!office.services()->writeRecord(9, table, key, id, names, texts, &error))
        ADD_FAILURE() << table.toStdString() << ": " << error.toStdString();
    return id;
}

struct Seed {
    Seed(QString who, qint32 pid, QString subject, QString body, bool needConfirm = false,
         bool receipt = false, bool payroll = false)
        : who(std::move(who)), pid(pid), subject(std::move(subject)), body(std::move(body)),
          needConfirm(needConfirm), receipt(receipt), payroll(payroll)
    {
    }
    QString who;          // cmWho
    qint32 pid = 0;       // cmPid, the sender
    QString subject;
    QString body;
    bool needConfirm = false;
    bool receipt = false;
    bool payroll = false;
    bool saveAfterDisplay = false;
    QString purged;       // CMPurFla, empty for null
};

struct Rcpt {
    Rcpt(qint32 pid, QString machine = {}, QString read = {}, int saveTo = 0, qint32 assPid = 0)
        : pid(pid), machine(std::move(machine)), read(std::move(read)), saveTo(saveTo), assPid(assPid)
    {
    }
    qint32 pid = 0;
    QString machine;
    QString read;         // BroChkDonDis, empty for null
    int saveTo = 0;       // BroChkSavToFla
    qint32 assPid = 0;    // BroChkAssPID
};

class ConfirmFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        front = office.addEmployee("Front", "Fran", "FF", "FRONT", "Front Desk");
        ben = office.addEmployee("Bennet", "Ben", "BN", "BEN", "Billing");
        carl = office.addEmployee("Carter", "Carl", "CC", "CARL", "Billing");
        atWorkstation(office.services(), front);
        removeSignalFiles();
    }
    void TearDown() override
    {
        expectNoVisibleWindows();
        SharedState::current() = SharedState{};
    }

    // The shared state of another workstation on the same office.
    void atWorkstation(const std::shared_ptr<tzglob::tzGlobal>& services, qint32 employee)
    {
        auto& st = SharedState::current();
        st = SharedState{};
        st.GIC = services;
        st.CurrentEmployeeID = employee;
        LoadLoginNames();
    }

    qint32 seed(const Seed& m, const QList<Rcpt>& recipients, QList<qint32>* rowIds = nullptr)
    {
        auto flag = [](bool on) { return on ? QStringLiteral("-1") : QStringLiteral("0"); };
        QStringList names{"cmTyp", "cmTim", "cmDat", "cmWho", "cmPid", "cmCat", "cmSubCat", "cmDoc",
                          "CMSubjec", "cmDocAftDis", "CMNeeCom", "CMShoOnRep", "cmConRec"};
        QStringList texts{"256", QStringLiteral("09:%1 AM").arg(++m_minute, 2, 10, QLatin1Char('0')),
                          "12/01/2026", m.who, QString::number(m.pid), "Message", "EMS", m.body,
                          m.subject, flag(m.saveAfterDisplay), flag(m.needConfirm), flag(m.payroll),
                          flag(m.receipt)};
        if (!m.purged.isEmpty()) {
            names << "CMPurFla";
            texts << m.purged;
        }
        const qint64 cmId = write(office, "CMTable", "cmID", names, texts);
        write(office, "EVTable", "EVID", {"EvPID", "EvLinID", "EvTyp", "EvPri"},
                     {QString::number(m.pid), QString::number(cmId), "0", "False"});
        for (const Rcpt& r : recipients) {
            QStringList n{"BroChkLinID", "BroChkPID", "BroChkTyp", "BroChkToMac", "BroChkSavToFla",
                          "BroChkAssPID"};
            QStringList t{QString::number(cmId), QString::number(r.pid), "0", r.machine,
                          QString::number(r.saveTo), QString::number(r.assPid)};
            if (!r.read.isEmpty()) {
                n << "BroChkDonDis";
                t << r.read;
            }
            const qint64 row = write(office, "BroChkTable", "BroChkID", n, t);
            if (rowIds)
                *rowIds << qint32(row);
        }
        return qint32(cmId);
    }

    // The full window on the inbox (message category), first activation done.
    std::unique_ptr<tzSndMsgFrm> openInbox(const QString& entry = QStringLiteral("MsgHisMsg"))
    {
        auto w = std::make_unique<tzSndMsgFrm>();
        w->load();
        w->firstActivation();
        w->TB_Small_ButtonMenuClick(entry);
        return w;
    }

    static MessageListModel* model(const tzSndMsgFrm& w)
    {
        return static_cast<MessageListModel*>(w.TDBG->model());
    }
    static int rowOf(const tzSndMsgFrm& w, qint32 cmId)
    {
        for (int r = 0; r < model(w)->rowCount(); ++r)
            if (model(w)->cmIdAt(r) == cmId)
                return r;
        return -1;
    }
    // Makes the message's row current, as a click on it does.
    static bool show(tzSndMsgFrm& w, qint32 cmId)
    {
        const int row = rowOf(w, cmId);
        if (row < 0)
            return false;
        w.TDBG->setCurrentIndex(model(w)->index(row, 2));
        return w.CMID() == cmId;
    }
    static bool bold(const tzSndMsgFrm& w, qint32 cmId)
    {
        const int row = rowOf(w, cmId);
        EXPECT_GE(row, 0) << "message " << cmId << " is not listed";
        return row >= 0 && model(w)->index(row, 2).data(Qt::FontRole).value<QFont>().bold();
    }

    QVariant column(const QString& table, const QString& key, qint32 id, const QString& name)
    {
        return office.scalar(QStringLiteral("select ") + name + QStringLiteral(" from ") + table +
                                 QStringLiteral(" where ") + key + QStringLiteral("=?"),
                             {id});
    }
    QVariant recipient(qint32 rowId, const QString& name)
    {
        return column(QStringLiteral("BroChkTable"), QStringLiteral("BroChkID"), rowId, name);
    }
    QVariant header(qint32 cmId, const QString& name)
    {
        return column(QStringLiteral("CMTable"), QStringLiteral("cmID"), cmId, name);
    }

    QString signalFile(const QString& tag) const
    {
        return office.dataFolder() + QStringLiteral("TEMP/") + tag + QStringLiteral(".STA");
    }
    void removeSignalFiles() const
    {
        for (const char* tag : {"CMCM", "CMEV", "CMBC"})
            QFile::remove(signalFile(QString::fromLatin1(tag)));
    }

    Office office;
    PrompterGuard prompter;
    qint32 front = 0, ben = 0, carl = 0;

private:
    int m_minute = 0;
};

} // namespace tzsndmsg::testing::confirm
