#include "state/HostDialogs.h"

#include "tzsndmsg/tzGlobal.h"
#include "tzsndmsg/ui/MessageBox.h"
#include "tzsndmsg/ui/Modal.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tzsndmsg {

namespace {

QDialogButtonBox* okCancel(QDialog* dialog)
{
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("cmdOK"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cmdCancel"));
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return buttons;
}

} // namespace

bool showTodoEntryDialog(QWidget* owner, QString& title)
{
    QDialog dialog(owner);
    dialog.setObjectName(QStringLiteral("TodoEntryDialog"));
    dialog.setWindowTitle(QStringLiteral("To Do Entry"));
    auto* layout = new QVBoxLayout(&dialog);
    auto* label = new QLabel(QStringLiteral("Title of the to-do entry:"), &dialog);
    auto* edit = new QLineEdit(title, &dialog);
    edit->setObjectName(QStringLiteral("txtTitle"));
    label->setBuddy(edit);
    layout->addWidget(label);
    layout->addWidget(edit);
    auto* buttons = okCancel(&dialog);
    layout->addWidget(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, [&dialog, edit] {
        if (edit->text().trimmed().isEmpty()) {
            ui::MessageBox::show({QStringLiteral("Please enter a title for the to-do entry."),
                                  QStringLiteral("To Do Entry"), 0, 48, 0});
            edit->setFocus();
            return;
        }
        dialog.accept();
    });
    dialog.resize(420, dialog.sizeHint().height());

    if (ui::showModal(dialog) != QDialog::Accepted)
        return false;
    title = edit->text().trimmed();
    return true;
}

QString chooseCannedTextFrom(QWidget* owner, const QString& caption,
                             const QList<QPair<QString, QString>>& entries)
{
    QDialog dialog(owner);
    dialog.setObjectName(QStringLiteral("CannedTextChooser"));
    dialog.setWindowTitle(caption.isEmpty() ? QStringLiteral("Canned Text") : caption);
    auto* layout = new QVBoxLayout(&dialog);
    auto* list = new QListWidget(&dialog);
    list->setObjectName(QStringLiteral("lstTexts"));
    for (const auto& [title, text] : entries) {
        const QString shown =
            title.trimmed().isEmpty() ? text.section(QLatin1Char('\n'), 0, 0) : title;
        auto* item = new QListWidgetItem(shown, list);
        item->setData(Qt::UserRole, text);
        item->setToolTip(text);
    }
    layout->addWidget(list, 1);
    auto* preview = new QPlainTextEdit(&dialog);
    preview->setObjectName(QStringLiteral("txtPreview"));
    preview->setReadOnly(true);
    layout->addWidget(preview, 1);
    if (entries.isEmpty()) {
        auto* empty =
            new QLabel(QStringLiteral("There are no stored texts to choose from."), &dialog);
        empty->setObjectName(QStringLiteral("lblEmpty"));
        layout->addWidget(empty);
    }
    auto* buttons = okCancel(&dialog);
    QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
    ok->setEnabled(false);
    layout->addWidget(buttons);
    QObject::connect(list, &QListWidget::currentRowChanged, &dialog, [ok, list, preview](int row) {
        ok->setEnabled(row >= 0);
        preview->setPlainText(row >= 0 ? list->item(row)->data(Qt::UserRole).toString()
                                       : QString());
    });
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, [&dialog, list] {
        if (list->currentRow() >= 0)
            dialog.accept();
    });
    QObject::connect(list, &QListWidget::itemDoubleClicked, &dialog, &QDialog::accept);
    dialog.resize(480, 420);

    if (ui::showModal(dialog) != QDialog::Accepted || !list->currentItem())
        return QString();
    return list->currentItem()->data(Qt::UserRole).toString();
}

void installHostDialogs(const std::shared_ptr<HostServices>& services)
{
    auto* global = dynamic_cast<tzglob::tzGlobal*>(services.get());
    if (!global)
        return;
    if (!global->hasTodoDialogHandler())
        global->setTodoDialogHandler([](QObject* owner, QString& title) {
            return showTodoEntryDialog(qobject_cast<QWidget*>(owner), title);
        });
    if (!global->hasCannedTextHandler())
        // The handler lives inside the services object, so the plain pointer cannot dangle.
        global->setCannedTextHandler(
            [global](QObject* owner, const QString& caption, const QString& storeName) {
                return chooseCannedTextFrom(qobject_cast<QWidget*>(owner), caption,
                                            global->cannedTexts(storeName));
            });
}

} // namespace tzsndmsg
