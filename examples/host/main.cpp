#include <QApplication>
#include <QDialog>
#include <QStringList>
#include <cstdio>
#include <tzsndmsg/Office.h>
#include <tzsndmsg/db/Database.h>
#include <tzsndmsg/tzGlobal.h>
#include <tzsndmsg/tzSndMsgCls.h>
#include <tzsndmsg/ui/MessageBox.h>
#include <tzsndmsg/ui/Modal.h>

// clinic_host DATABASE_URL DATA_FOLDER LOGIN [--demo] [--close-when-shown]
// Sets up the office (the schema and the data folder; kept when present) and opens the message
// window for the login. --demo adds the demo office to a new store; --close-when-shown closes
// the window by itself once it has shown (a check that runs without a person).
int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const bool demo = args.removeAll(QStringLiteral("--demo")) > 0;
    const bool closeWhenShown = args.removeAll(QStringLiteral("--close-when-shown")) > 0;
    if (args.size() != 3) {
        std::fputs(
            "usage: clinic_host DATABASE_URL DATA_FOLDER LOGIN [--demo] [--close-when-shown]\n",
            stderr);
        return 2;
    }
    const QString url = args[0], dataFolder = args[1], login = args[2];

    QString error;
    if (!tzsndmsg::createOffice(url, dataFolder, &error)) {
        std::fprintf(stderr, "clinic_host: %s\n", qPrintable(error));
        return 2;
    }
    if (demo) {
        auto database = tzsndmsg::db::Database::open(url, &error);
        if (!database || !tzsndmsg::addDemoOffice(*database, dataFolder, &error)) {
            std::fprintf(stderr, "clinic_host: %s\n", qPrintable(error));
            return 1;
        }
    }
    auto services = std::make_shared<tzglob::tzGlobal>(
        tzglob::Config{url, dataFolder, QString(), login, QStringLiteral("FRONTDESK")});
    if (!services->open(&error)) {
        std::fprintf(stderr, "clinic_host: %s\n", qPrintable(error));
        return 2;
    }

    QString shownTitle;
    if (closeWhenShown) {
        // Nobody is there to answer: a box is printed and answered No where it asks, else OK.
        struct Printer : tzsndmsg::ui::Prompter {
            int ask(const tzsndmsg::ui::MessageBoxRequest& box) override
            {
                std::fprintf(stderr, "clinic_host: box [%s] %s\n", qPrintable(box.title),
                             qPrintable(box.text));
                return box.buttons == 3 || box.buttons == 4 ? tzsndmsg::ui::vbNo
                                                            : tzsndmsg::ui::vbOK;
            }
        };
        tzsndmsg::ui::MessageBox::setPrompter(std::make_shared<Printer>());
        tzsndmsg::ui::setModalHandler([&shownTitle](QDialog& window) {
            window.show();
            QApplication::processEvents();
            if (window.isVisible())
                shownTitle = window.windowTitle();
            window.hide();
            return int(QDialog::Rejected);
        });
    }

    tzsndmsg::tzSndMsgCls messages;
    messages.setGIC(services); // also finds the current employee
    messages.setSndMsgHistoryButtonVisible(true);
    messages.Message_Start(); // returns when the window closes
    messages.Message_Stop();

    if (closeWhenShown) {
        tzsndmsg::ui::setModalHandler(nullptr);
        tzsndmsg::ui::MessageBox::setPrompter(nullptr);
        if (shownTitle.isEmpty()) {
            std::fputs("clinic_host: the message window did not show\n", stderr);
            return 1;
        }
        std::printf("clinic_host: the message window \"%s\" showed and closed\n",
                    qPrintable(shownTitle));
    }
    return 0;
}
