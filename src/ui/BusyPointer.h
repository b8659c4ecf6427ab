#pragma once

namespace tzsndmsg::ui {

// The hourglass for the life of the object, unless normalPointer() ended it first.
class BusyPointer {
public:
    BusyPointer();
    ~BusyPointer();
    BusyPointer(const BusyPointer&) = delete;
    BusyPointer& operator=(const BusyPointer&) = delete;
    // Ends this hourglass early.
    void release();

private:
    bool m_active = false;
    unsigned m_generation = 0;
};

// Shows the hourglass until normalPointer().
void hourglass();
// Ends every hourglass the component set: the screen's normal pointer again.
void normalPointer();
// How many hourglasses the component holds now.
int busyDepth();

} // namespace tzsndmsg::ui
