#pragma once

#include "TestPrinters.h"
#include "tzsndmsg/ui/Modal.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <gtest/gtest.h>

namespace tzsndmsg::testing {

// The named control, failing the test loudly when it is missing.
template <typename T> T* control(const QObject* parent, const QString& name)
{
    T* found = parent ? parent->findChild<T*>(name) : nullptr;
    if (!found)
        ADD_FAILURE() << "no control named " << name.toStdString();
    return found;
}

// The name of the index'th control of a row of like controls: "chkDoc_2".
inline QString nth(const char* name, qsizetype index)
{
    return QString::fromLatin1(name) + QLatin1Char('_') + QString::number(index);
}

// Runs the event loop until done() holds or the time is up; whether it holds.
template <typename Done> bool waitUntil(Done done, int ms = 8000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

// Lets queued events run.
inline void pump(int times = 3)
{
    for (int i = 0; i < times; ++i)
        QCoreApplication::processEvents();
}

// Shows the window and makes it the active one, as a user's click would, and lets Qt hand out
// the focus; false when the platform never reported it active.
inline bool showActive(QWidget* window)
{
    window->show();
    window->raise();
    window->activateWindow();
    const bool active = QTest::qWaitForWindowActive(window, 2000);
    pump();
    return active;
}

// Drives every modal show through handlers, in order; a dialog shown with no handler left is
// rejected and fails the test. Restores exec() when it goes out of scope.
class ModalScript {
public:
    using Handler = std::function<int(QDialog&)>;
    ModalScript()
    {
        ui::setModalHandler([this](QDialog& dialog) {
            ++shown;
            if (m_handlers.empty()) {
                ADD_FAILURE() << "unexpected modal dialog " << dialog.objectName().toStdString();
                return int(QDialog::Rejected);
            }
            Handler h = m_handlers.front();
            m_handlers.erase(m_handlers.begin());
            return h(dialog);
        });
    }
    ~ModalScript()
    {
        ui::setModalHandler(nullptr);
        EXPECT_TRUE(m_handlers.empty()) << m_handlers.size() << " modal dialog(s) never shown";
    }
    ModalScript& then(Handler h)
    {
        m_handlers.push_back(std::move(h));
        return *this;
    }
    int shown = 0;

private:
    std::vector<Handler> m_handlers;
};

// No top-level window of the test may stay open.
inline void expectNoVisibleWindows()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        EXPECT_FALSE(w->isVisible()) << "window left open: " << w->objectName().toStdString();
}

} // namespace tzsndmsg::testing
