#include "app/quitsignals.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QWidget>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int wakeFds[2] = {-1, -1};

// Only a write to a non-blocking socket: all the handler may safely do.
void onSignal(int)
{
    const int saved = errno;
    const char byte = 's';
    (void)!::write(wakeFds[1], &byte, 1);
    errno = saved;
}

} // namespace

void CloseOnSignals(QWidget& window)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, wakeFds) != 0) {
        std::perror("tenfold: signals will end the console without saving");
        return;
    }
    auto* notifier = new QSocketNotifier(wakeFds[0], QSocketNotifier::Read, &window);
    QObject::connect(notifier, &QSocketNotifier::activated, &window, [&window] {
        char bytes[64];
        while (::read(wakeFds[0], bytes, sizeof bytes) > 0) {
        }
        // Ends a dialog's loop or a handler's wait too, once the window has
        // done what its close does.
        window.close();
        QCoreApplication::exit(0);
    });
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int s : {SIGTERM, SIGHUP, SIGINT}) {
        struct sigaction old {};
        if (::sigaction(s, nullptr, &old) == 0 && old.sa_handler != SIG_IGN)
            ::sigaction(s, &action, nullptr);
    }
}
