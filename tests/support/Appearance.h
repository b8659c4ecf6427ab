#pragma once

#include <QApplication>
#include <QColor>
#include <QFont>
#include <QPalette>
#include <utility>

namespace tzsndmsg::testing {

// A dark palette as a desktop theme gives it.
inline QPalette darkPalette()
{
    QPalette p;
    const std::pair<QPalette::ColorRole, QRgb> roles[] = {{QPalette::Window, 0x2b2b2b},
                                                          {QPalette::WindowText, 0xe6e6e6},
                                                          {QPalette::Base, 0x1e1e1e},
                                                          {QPalette::AlternateBase, 0x262626},
                                                          {QPalette::Text, 0xe6e6e6},
                                                          {QPalette::Button, 0x3a3a3a},
                                                          {QPalette::ButtonText, 0xe6e6e6},
                                                          {QPalette::Highlight, 0x2f65ca},
                                                          {QPalette::HighlightedText, 0xffffff},
                                                          {QPalette::PlaceholderText, 0x9a9a9a},
                                                          {QPalette::Light, 0x505050},
                                                          {QPalette::Midlight, 0x454545},
                                                          {QPalette::Mid, 0x303030},
                                                          {QPalette::Dark, 0x181818},
                                                          {QPalette::Shadow, 0x000000}};
    for (const auto& [role, rgb] : roles)
        p.setColor(role, QColor(rgb));
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
