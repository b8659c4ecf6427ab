#pragma once

#include <QHash>
#include <QKeySequence>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

class QAction;
class QMenu;
class QToolBar;
class QToolButton;

namespace tzsndmsg::ui {

class ImageList;

// Setup_Toolbars: fills a toolbar from three comma-separated lists of equal length (keys,
// styles, tooltips). An empty key or style 3 makes a separator, style 0 a plain button,
// style 5 a button with a drop-down menu. Each button has its key as objectName, its tooltip,
// the image list's picture of the same key and no caption. Keys are looked up without regard
// to case; signals carry the keys as they were given.
class ToolbarBuilder : public QObject {
    Q_OBJECT
public:
    enum Style { Plain = 0, Separator = 3, DropDown = 5 };

    explicit ToolbarBuilder(QToolBar* toolbar, const ImageList* images = nullptr);

    // False (and nothing added) when the lists differ in length or a style is unknown.
    bool build(const QString& keys, const QString& styles, const QString& tooltips,
               QString* error = nullptr);

    QToolBar* toolBar() const { return m_toolbar; }
    QStringList buttonKeys() const; // in toolbar order, separators left out
    QAction* action(const QString& key) const;
    QToolButton* button(const QString& key) const;

    // A menu entry of a drop-down button; its objectName and data are the entry key.
    QAction* addMenuEntry(const QString& buttonKey, const QString& entryKey, const QString& text);
    QAction* menuEntry(const QString& entryKey) const;
    QMenu* menu(const QString& buttonKey) const;

    // The tooltip as given, without the key shown after it.
    QString toolTip(const QString& key) const;
    void setToolTip(const QString& key, const QString& text);
    // Keys that press the button while its toolbar is shown; the first is shown in the tooltip
    // ("Send Message (Ctrl+Return)"). No keys: the button has none and the tooltip is as given.
    void setShortcuts(const QString& key, const QList<QKeySequence>& keys);
    // A key the window itself answers (F1, Esc), only shown in the button's tooltip.
    void setShownKey(const QString& key, const QKeySequence& shown);
    // The tooltip as the user sees it.
    QString shownToolTip(const QString& key) const;

    // The list split as the toolbar lists are written: a trailing "," ends the list.
    static QStringList splitList(const QString& list);

signals:
    void buttonClicked(const QString& key);
    void menuEntryClicked(const QString& buttonKey, const QString& entryKey);

private:
    QToolBar* m_toolbar;
    const ImageList* m_images;
    QStringList m_order;
    QHash<QString, QAction*> m_actions;     // upper-case key
    QHash<QString, QAction*> m_menuEntries; // upper-case entry key
};

} // namespace tzsndmsg::ui
