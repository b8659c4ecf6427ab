#pragma once

// A seeded office and a loaded compact message window for the compose-form tests.
#include "support/GuiDriver.h"
#include "support/Office.h"
#include "support/ScriptedPrompter.h"

#include "component/SharedState.h"
#include "directory/EMS_EmpList.h"
#include "directory/StaffDirectory.h"
#include "messages/tzSndMsgFrm.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QMouseEvent>

#include <memory>

namespace tzsndmsg::testing {

class ComposeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SharedState::current() = SharedState{};
        auto& st = SharedState::current();
        st.GIC = office.services();
        front = office.addEmployee(QStringLiteral("Front"), QStringLiteral("Fay"), QStringLiteral("FF"),
                                   QStringLiteral("FRONT"), QStringLiteral("Front Desk"));
        nurse = office.addEmployee(QStringLiteral("Nurse"), QStringLiteral("Ned"), QStringLiteral("NN"),
                                   QStringLiteral("NURSE"), QStringLiteral("Clinical"));
        doctor = office.addEmployee(QStringLiteral("Doctor"), QStringLiteral("Dora"), QStringLiteral("DD"),
                                    QStringLiteral("DOCTOR"), QStringLiteral("clinical"));
        st.CurrentEmployeeID = front;
        LoadLoginNames();
    }

    void TearDown() override
    {
        window.reset();
        SharedState::current() = SharedState{};
        expectNoVisibleWindows();
    }

    tzSndMsgFrm& open()
    {
        window = std::make_unique<tzSndMsgFrm>();
        window->load();
        return *window;
    }

    // A stored message: header, optional detail row, recipients "P<id>" / "M<name>" with list.
    qint32 seedMessage(const QString& subject, const QString& body, bool withDetail,
                       const QList<std::pair<int, QString>>& recipients = {}, qint32 type = 256,
                       qint32 link = 0)
    {
        const qint32 id = qint32(office.insert(
            QStringLiteral("CMTable"), QStringLiteral("cmID"),
            {QStringLiteral("cmTyp"), QStringLiteral("cmTraLinID"), QStringLiteral("cmTim"),
             QStringLiteral("cmDat"), QStringLiteral("cmWho"), QStringLiteral("cmPid"),
             QStringLiteral("cmCat"), QStringLiteral("cmSubCat"), QStringLiteral("cmDoc"),
             QStringLiteral("CMSubjec"), QStringLiteral("cmDocAftDis"), QStringLiteral("CMNeeCom"),
             QStringLiteral("CMShoOnRep"), QStringLiteral("cmConRec")},
            {type, link, QStringLiteral("09:30:00"), QStringLiteral("2026-12-05"),
             QStringLiteral("DOCTOR"), doctor, QStringLiteral("Message"), QStringLiteral("EMS"),
             body, subject, 0, -1, -1, -1}));
        if (withDetail)
            office.insert(QStringLiteral("EVTable"), QStringLiteral("EVID"),
                          {QStringLiteral("EvPID"), QStringLiteral("EvLinID"), QStringLiteral("EvTyp"),
                           QStringLiteral("EvPri"), QStringLiteral("EvBroFla")},
                          {doctor, id, 0, QStringLiteral("False"), -1});
        for (const auto& [list, who] : recipients) {
            const bool person = who.startsWith(QLatin1Char('P'));
            lastBroChkId = qint32(office.insert(
                QStringLiteral("BroChkTable"), QStringLiteral("BroChkID"),
                {QStringLiteral("BroChkLinID"), QStringLiteral("BroChkPID"),
                 QStringLiteral("BroChkTyp"), QStringLiteral("BroChkToMac")},
                {id, person ? who.mid(1).toInt() : 0, list, person ? QString() : who.mid(1)}));
        }
        return id;
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
    qint32 front = 0, nurse = 0, doctor = 0;
    qint32 lastBroChkId = 0;
    std::unique_ptr<tzSndMsgFrm> window;
};

// A mouse press on a control, whether or not its window is on screen.
inline void pressOn(QWidget* widget)
{
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(2, 2), widget->mapToGlobal(QPointF(2, 2)),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &press);
}

// Picks the entries whose text contains any of the fragments and presses OK (or Cancel).
inline ModalScript::Handler pickEntries(QStringList fragments, bool ok = true,
                                        QStringList* preselected = nullptr)
{
    return [fragments, ok, preselected](QDialog& dialog) {
        auto* list = dialog.findChild<QListWidget*>(QStringLiteral("List_0"));
        EXPECT_TRUE(list);
        if (!list)
            return int(QDialog::Rejected);
        if (preselected)
            for (QListWidgetItem* item : list->selectedItems())
                *preselected << item->text();
        if (ok) {
            list->clearSelection();
            for (int i = 0; i < list->count(); ++i)
                for (const QString& f : fragments)
                    if (list->item(i)->text().contains(f))
                        list->item(i)->setSelected(true);
        }
        auto* button = dialog.findChild<QPushButton*>(ok ? QStringLiteral("cmd_1") : QStringLiteral("cmd_0"));
        EXPECT_TRUE(button);
        if (button) {
            button->setEnabled(true);
            button->click();
        }
        return dialog.result();
    };
}

} // namespace tzsndmsg::testing
