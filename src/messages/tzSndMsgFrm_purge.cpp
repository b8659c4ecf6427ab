// Purge and unpurge: the purge bit (256) of CMPurFla on the selected messages.
#include "MessageList.h"
#include "MessageListModel.h"
#include "core/MessagePurge.h"
#include "core/MessageRows.h"
#include "state/SharedState.h"
#include "tzSndMsgFrm.h"
#include "tzsndmsg/ui/MessageBox.h"
#include "ui/BusyPointer.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QItemSelectionModel>
#include <QLabel>
#include <QTableView>
#include <exception>

namespace tzsndmsg {

void tzSndMsgFrm::PurgeCommand()
{
    if (!m_messages->hasCurrentRow())
        return;
    m_messages->selectCurrentWhenNone();
    if (tbToolTip(QStringLiteral("Purge")) == QLatin1String("UnPurge")) {
        const int answer =
            ui::MessageBox::show({QStringLiteral("Are you sure to UnPurge the selected items?"),
                                  QStringLiteral("UnPurge"), 4, 0, 256});
        if (answer != ui::vbYes)
            return;
    }
    ui::BusyPointer wait;
    Purge_Selected();
    TB_ButtonClick(QStringLiteral("Refresh"));
}

void tzSndMsgFrm::Purge_Selected()
{
    auto& st = SharedState::current();
    if (!st.GIC || !m_messages->isOpen())
        return;
    HostServices& gic = *st.GIC;
    core::MessageRows cursor = m_messages->rowsCopy();
    const QList<qint64> marks = m_messages->selectedBookmarks();
    const int n = int(marks.size());
    bool told = false;
    bool saved = true;
    const auto showProgress = [this, n](int k) {
        if (SB_Panel1)
            SB_Panel1->setText(QString::number(k) + QStringLiteral(" of ") + QString::number(n));
    };
    {
        core::PurgeBatch batch(gic);
        for (int k = 0; k < n; ++k) {
            try {
                if (cursor.setBookmark(marks.at(k))) {
                    // Inbox rows only once read; sent items always.
                    const bool mayChange =
                        !isInboxView() || cursor.number(QStringLiteral("BroChkDonDis")) != 0;
                    if (mayChange) {
                        batch.toggle(cursor.number(QStringLiteral("cmID")),
                                     cursor.number(QStringLiteral("CMPurFla")));
                    } else if (!told) {
                        told = true;
                        saved = batch.finish() && saved;
                        if (k > 0)
                            showProgress(k - 1);
                        ui::MessageBox::show(
                            {(n == 1
                                  ? QStringLiteral(
                                        "The selected message is unread and cannot be purged.")
                                  : QStringLiteral("One or more of the selected messages have not "
                                                   "been read. Only messages that have been read "
                                                   "will be purged.")) +
                                 QStringLiteral("\r\n\r\nUnread messages appear in bold."),
                             QStringLiteral("Unread Messages"), 0, 64, 0});
                        batch.begin();
                    }
                }
            } catch (const std::exception&) {
                // The row is skipped; the others still run.
            }
            // The counter is only seen when events are let through: it is set then. Clicks
            // and keys wait: the selection being purged must not change under the loop.
            if (k % 50 == 0) {
                showProgress(k);
                QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
            }
        }
        saved = batch.finish() && saved;
    }
    if (!saved)
        ui::MessageBox::show({QStringLiteral("The message store did not accept the changes; "
                                             "some of the selected messages were not changed."),
                              QStringLiteral("Purge"), 0, 48, 0});
    if (SB_Panel1)
        SB_Panel1->clear();
}

} // namespace tzsndmsg
