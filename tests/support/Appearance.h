#pragma once

#include <QApplication>
#include <QColor>
#include <QFont>
#include <QPalette>
#include <iterator>

namespace tzsndmsg::testing {

// A dark palette as a desktop theme gives it.
inline QPalette darkPalette()
{
    using enum QPalette::ColorRole;
    const QPalette::ColorRole roles[] = {
        Window,          WindowText,      Base,  AlternateBase, Text, Button, ButtonText, Highlight,
        HighlightedText, PlaceholderText, Light, Midlight,      Mid,  Dark,   Shadow};
    const QRgb colours[] = {0x2b2b2b, 0xe6e6e6, 0x1e1e1e, 0x262626, 0xe6e6e6,
                            0x3a3a3a, 0xe6e6e6, 0x2f65ca, 0xffffff, 0x9a9a9a,
                            0x505050, 0x454545, 0x303030, 0x181818, 0x000000};
    QPalette p;
    for (size_t i = 0; i < std::size(roles); ++i)
        p.setColor(roles[i], QColor(colours[i]));
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, QColor(0x808080));
    return p;
}

// The desktop's font size and colours while it lives, given back afterwards.
class Appearance {
public:
    explicit Appearance(qreal points, const QPalette& palette = darkPalette())
        : m_font(QApplication::font()), m_palette(QApplication::palette())
    {
        QFont f = m_font;
        f.setPointSizeF(points);
        QApplication::setFont(f);
        QApplication::setPalette(palette);
    }
    ~Appearance()
    {
        QApplication::setPalette(m_palette);
        QApplication::setFont(m_font);
    }
    Appearance(const Appearance&) = delete;
    Appearance& operator=(const Appearance&) = delete;

private:
    QFont m_font;
    QPalette m_palette;
};

} // namespace tzsndmsg::testing
