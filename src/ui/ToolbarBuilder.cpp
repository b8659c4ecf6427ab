#include "ToolbarBuilder.h"

#include "ImageList.h"

#include <QAction>
#include <QMenu>
#include <QToolBar>
#include <QToolButton>

namespace tzsndmsg::ui {

ToolbarBuilder::ToolbarBuilder(QToolBar* toolbar, const ImageList* images)
    : QObject(toolbar), m_toolbar(toolbar), m_images(images)
{
    m_toolbar->setToolButtonStyle(Qt::ToolButtonIconOnly);
}

QStringList ToolbarBuilder::splitList(const QString& list)
{
    QStringList items = list.split(QLatin1Char(','));
    if (list.endsWith(QLatin1Char(',')))
        items.removeLast();
    return items;
}

bool ToolbarBuilder::build(const QString& keys, const QString& styles, const QString& tooltips,
                           QString* error)
{
    const QStringList keyList = splitList(keys);
    const QStringList styleList = splitList(styles);
    const QStringList tipList = splitList(tooltips);
    auto fail = [error](const QString& message) {
        if (error)
            *error = message;
        return false;
    };
    if (keyList.size() != styleList.size() || keyList.size() != tipList.size())
        return fail(
            QStringLiteral("toolbar lists differ in length: %1 keys, %2 styles, %3 tooltips")
                .arg(keyList.size())
                .arg(styleList.size())
                .arg(tipList.size()));
    QList<int> styleCodes;
    for (const QString& s : styleList) {
        bool ok = false;
        const int code = s.trimmed().toInt(&ok);
        if (!ok || (code != Plain && code != Separator && code != DropDown))
            return fail(QStringLiteral("unknown toolbar button style \"%1\"").arg(s));
        styleCodes.append(code);
    }

    for (int i = 0; i < keyList.size(); ++i) {
        const QString key = keyList.at(i).trimmed();
        if (key.isEmpty() || styleCodes.at(i) == Separator) {
            QAction* separator = m_toolbar->addSeparator();
            if (!key.isEmpty())
                separator->setObjectName(key);
            continue;
        }
        auto* action = new QAction(m_toolbar);
        action->setObjectName(key);
        action->setData(key);
        action->setToolTip(tipList.at(i));
        // The caption shows only when the picture is missing, so the button stays usable.
        action->setText(tipList.at(i));
        if (m_images)
            action->setIcon(m_images->icon(key));
        m_toolbar->addAction(action);
        auto* toolButton = qobject_cast<QToolButton*>(m_toolbar->widgetForAction(action));
        if (toolButton) {
            toolButton->setObjectName(key);
            toolButton->setToolButtonStyle(Qt::ToolButtonIconOnly);
        }
        if (styleCodes.at(i) == DropDown) {
            auto* dropDown = new QMenu(m_toolbar);
            dropDown->setObjectName(key + QStringLiteral("_Menu"));
            action->setMenu(dropDown);
            if (toolButton)
                toolButton->setPopupMode(QToolButton::MenuButtonPopup);
        }
        connect(action, &QAction::triggered, this, [this, key] { emit buttonClicked(key); });
        m_actions.insert(key.toUpper(), action);
        m_order.append(key);
    }
    return true;
}

QStringList ToolbarBuilder::buttonKeys() const
{
    return m_order;
}

QAction* ToolbarBuilder::action(const QString& key) const
{
    return m_actions.value(key.toUpper());
}

QToolButton* ToolbarBuilder::button(const QString& key) const
{
    QAction* a = action(key);
    return a ? qobject_cast<QToolButton*>(m_toolbar->widgetForAction(a)) : nullptr;
}

QMenu* ToolbarBuilder::menu(const QString& buttonKey) const
{
    QAction* a = action(buttonKey);
    return a ? a->menu() : nullptr;
}

QAction* ToolbarBuilder::addMenuEntry(const QString& buttonKey, const QString& entryKey,
                                      const QString& text)
{
    QMenu* m = menu(buttonKey);
    if (!m)
        return nullptr;
    QAction* entry = m->addAction(text);
    entry->setObjectName(entryKey);
    entry->setData(entryKey);
    const QString owner = action(buttonKey)->objectName();
    connect(entry, &QAction::triggered, this,
            [this, owner, entryKey] { emit menuEntryClicked(owner, entryKey); });
    m_menuEntries.insert(entryKey.toUpper(), entry);
    return entry;
}

QAction* ToolbarBuilder::menuEntry(const QString& entryKey) const
{
    return m_menuEntries.value(entryKey.toUpper());
}

namespace {
const char* const kPlainTip = "plainToolTip";
const char* const kShownKey = "shownKey";

// The tooltip with the button's first key after it, as the desktop shows a command's key.
void showTip(QAction* a, const QString& text)
{
    a->setProperty(kPlainTip, text);
    a->setText(text);
    const QKeySequence first =
        a->shortcut().isEmpty() ? a->property(kShownKey).value<QKeySequence>() : a->shortcut();
    a->setToolTip(
        first.isEmpty() || text.isEmpty()
            ? text
            : QStringLiteral("%1 (%2)").arg(text, first.toString(QKeySequence::NativeText)));
}
} // namespace

QString ToolbarBuilder::toolTip(const QString& key) const
{
    QAction* a = action(key);
    if (!a)
        return QString();
    const QVariant plain = a->property(kPlainTip);
    return plain.isValid() ? plain.toString() : a->toolTip();
}

QString ToolbarBuilder::shownToolTip(const QString& key) const
{
    QAction* a = action(key);
    return a ? a->toolTip() : QString();
}

void ToolbarBuilder::setToolTip(const QString& key, const QString& text)
{
    if (QAction* a = action(key))
        showTip(a, text);
}

void ToolbarBuilder::setShortcuts(const QString& key, const QList<QKeySequence>& keys)
{
    QAction* a = action(key);
    if (!a)
        return;
    const QString plain = toolTip(key);
    a->setShortcuts(keys);
    showTip(a, plain);
}

void ToolbarBuilder::setShownKey(const QString& key, const QKeySequence& shown)
{
    QAction* a = action(key);
    if (!a)
        return;
    const QString plain = toolTip(key);
    a->setProperty(kShownKey, QVariant::fromValue(shown));
    showTip(a, plain);
}

} // namespace tzsndmsg::ui
