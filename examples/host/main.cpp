#include <tzsndmsg/tzGlobal.h>
#include <tzsndmsg/tzSndMsgCls.h>

#include <QApplication>
#include <cstdio>

// clinic_host DATABASE_URL DATA_FOLDER LOGIN: opens the message window for the login.
int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 4) {
        std::fputs("usage: clinic_host DATABASE_URL DATA_FOLDER LOGIN\n", stderr);
        return 2;
    }
    auto services = std::make_shared<tzglob::tzGlobal>(tzglob::Config{
        argv[1], argv[2], QString(), argv[3], QStringLiteral("FRONTDESK")});
    if (QString error; !services->open(&error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 2;
    }
    tzsndmsg::tzSndMsgCls messages;
    messages.setGIC(services);
    messages.setSndMsgHistoryButtonVisible(true);
    messages.Message_Start();
    messages.Message_Stop();
    return 0;
}
