#include "UnixSignals.h"

#include <QSocketNotifier>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tzsndmsg::app {

namespace {

int g_pipe[2] = {-1, -1};
volatile std::sig_atomic_t g_terminating = 0;

void onSignal(int number)
{
    if (number != SIGUSR1) {
        if (g_terminating)
            _exit(128 + number);
        g_terminating = 1;
        ::alarm(10); // SIGALRM's default action ends a process stuck on its way out
    }
    const char byte = char(number);
    [[maybe_unused]] const ssize_t n = ::write(g_pipe[1], &byte, 1);
}

} // namespace

UnixSignals::UnixSignals(QObject* parent) : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_pipe) != 0)
        return;
    ::fcntl(g_pipe[1], F_SETFL, O_NONBLOCK);
    m_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        char byte = 0;
        if (::read(g_pipe[0], &byte, 1) != 1)
            return;
        if (byte == SIGUSR1)
            emit statsRequested();
        else
            emit terminateRequested();
    });
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int number : {SIGTERM, SIGINT, SIGUSR1})
        ::sigaction(number, &action, nullptr);
}

UnixSignals::~UnixSignals()
{
    for (int number : {SIGTERM, SIGINT, SIGUSR1})
        std::signal(number, SIG_DFL);
    delete m_notifier;
    for (int& fd : g_pipe) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

} // namespace tzsndmsg::app
