#pragma once

// What every window owes a person without a mouse or with large print, checked the same way for
// each: Tab and Shift+Tab visit its controls in one ring, every stop has a name a screen reader
// says, and no caption is squeezed below what its text needs.
#include "FocusChain.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QToolButton>
#include <algorithm>
#include <cmath>

namespace tzsndmsg::testing {

// Text typed, as the user types it, into whichever control has the focus.
inline void typeText(const QString& text)
{
    QWidget* target = QApplication::focusWidget();
    ASSERT_NE(target, nullptr) << "nothing has the focus";
    QTest::keyClicks(target, text);
    pump();
}

// From the control that has the focus, Tab visits `forward` and comes back, Shift+Tab the same
// stops the other way, and no focusable control of the window lacks a name.
inline void expectTabRing(QWidget* window, const QStringList& forward)
{
    EXPECT_EQ(tabChain(), forward);
    EXPECT_EQ(tabChain(true), QStringList(forward.rbegin(), forward.rend()));
    EXPECT_EQ(unnamedFocusable(window), QStringList());
}

// The visible labels and buttons (and drop-down lists when asked) narrower than their text needs;
// a wrapped label and a tool button (a picture) have no such width.
inline QStringList cutCaptions(QWidget* window, bool lists = false)
{
    QStringList cut;
    for (QWidget* c : window->findChildren<QWidget*>()) {
        if (!c->isVisible() || qobject_cast<QToolButton*>(c))
            continue;
        const auto* label = qobject_cast<QLabel*>(c);
        if (label && label->wordWrap())
            continue;
        if ((label || qobject_cast<QAbstractButton*>(c)) &&
            c->width() < c->minimumSizeHint().width())
            cut << c->objectName();
        if (lists && qobject_cast<QComboBox*>(c) && c->width() < c->sizeHint().width())
            cut << c->objectName();
    }
    return cut;
}

// How far apart two colours read, 1 to 21: text wants 4.5, a large caption 3.
inline double contrast(const QColor& a, const QColor& b)
{
    const auto luminance = [](const QColor& c) {
        const auto channel = [](double v) {
            v /= 255.0;
            return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(c.red()) + 0.7152 * channel(c.green()) + 0.0722 * channel(c.blue());
    };
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// Keeps a render of the window in the folder TZSNDMSG_SHOT_DIR names, for a person to look at.
inline void keepShot(QWidget* window, const QString& file)
{
    if (const QString folder = qEnvironmentVariable("TZSNDMSG_SHOT_DIR"); !folder.isEmpty())
        window->grab().save(QDir(folder).filePath(file));
}

} // namespace tzsndmsg::testing
