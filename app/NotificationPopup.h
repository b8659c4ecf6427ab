#pragma once

#include "tzsndmsg/OfficeWatcher.h"

#include <QPointer>
#include <QWidget>
#include <functional>

class QLabel;
class QPushButton;
class QTimer;
class QToolButton;

namespace tzsndmsg::app {

// The tray's own notification: a small window at the screen's lower right corner that stays on
// top without taking the focus, for a desktop without a notification service. It shows the
// latest notice (who, what, the start of the text) and how many more came; a click opens the
// message, the close button or its time running out hides it. Its actions: Open (O), Confirm
// (C; only for a message that does not need the message window) and Snooze (S); Escape closes
// it. A message that needs confirmation stays until one of them is taken.
class NotificationPopup : public QWidget {
    Q_OBJECT

public:
    explicit NotificationPopup(QWidget* parent = nullptr);

    void showNotice(const OfficeNotice& notice);
    // Several notices as one (or a word from the tray itself): no message of its own, a click
    // opens the inbox.
    // stays: until closed or clicked (one of its messages needs confirmation).
    void showSummary(const QString& title, const QString& text, const QString& footer,
                     bool stays = false);
    OfficeNotice notice() const { return m_notice; }
    int waiting() const { return m_more; } // notices that came while it was shown

    // How long a notice stays (0: until closed); a message that needs confirmation stays anyway.
    void setTimeout(int ms);
    // A confirmation or snooze that did not work: the notice stays, with the reason.
    void showProblem(const QString& text);

    // The title and the body a notice is shown with (also the desktop notification's).
    static QString titleOf(const OfficeNotice& notice);
    static constexpr int kNoticeText = 140; // the characters of a message's text a notice shows
    static QString bodyOf(const OfficeNotice& notice, int textLength = kNoticeText);

Q_SIGNALS:
    void clicked(const tzsndmsg::OfficeNotice& notice); // Open
    void confirmRequested(const tzsndmsg::OfficeNotice& notice);
    void snoozeRequested(const tzsndmsg::OfficeNotice& notice);

protected:
    bool event(QEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void place();
    void act(void (NotificationPopup::*signal)(const tzsndmsg::OfficeNotice&));
    // Over a modal window of the component: usable, and out of its way.
    void attachToModal();
    QPointer<QWidget> m_over; // the modal window it keeps clear of

    // While a notice that stays (one needing confirmation) shows, later ones wait their turn
    // rather than replace it; each shows once the one before is acted on or closed.
    bool holdsNotice() const { return m_stays && isVisible(); }
    void showNext();
    QList<std::function<void()>> m_waiting;
    bool m_stays = false;
    QString m_footerBase; // the shown notice's own footer, before the count of those waiting
    void showWaiting();

    OfficeNotice m_notice;
    int m_more = 0;
    QLabel* m_title = nullptr;
    QLabel* m_subject = nullptr;
    QLabel* m_text = nullptr;
    QLabel* m_footer = nullptr;
    QToolButton* m_close = nullptr;
    QPushButton* m_open = nullptr;
    QPushButton* m_confirm = nullptr;
    QPushButton* m_snooze = nullptr;
    QTimer* m_timer = nullptr;
};

} // namespace tzsndmsg::app
