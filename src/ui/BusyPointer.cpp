#include "BusyPointer.h"

#include <QCursor>
#include <QGuiApplication>

namespace tzsndmsg::ui {

namespace {

// Pointer changes only ever happen on the GUI thread.
int g_depth = 0;
unsigned g_generation = 0;

bool push()
{
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return false;
    QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    ++g_depth;
    return true;
}

void pop()
{
    if (g_depth <= 0)
        return;
    QGuiApplication::restoreOverrideCursor();
    --g_depth;
}

} // namespace

BusyPointer::BusyPointer() : m_active(push()), m_generation(g_generation) {}

BusyPointer::~BusyPointer()
{
    release();
}

void BusyPointer::release()
{
    // After normalPointer() the hourglass this object set is already gone.
    if (m_active && m_generation == g_generation)
        pop();
    m_active = false;
}

void hourglass()
{
    push();
}

void normalPointer()
{
    while (g_depth > 0)
        pop();
    ++g_generation;
}

int busyDepth()
{
    return g_depth;
}

} // namespace tzsndmsg::ui
