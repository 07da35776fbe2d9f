#include "TerminationSignals.h"

#include <QDebug>
#include <QSocketNotifier>

#include <atomic>
#include <csignal>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int pipeEnds[2] = {-1, -1};
std::atomic<bool> signalled{false};

extern "C" void onTerminationSignal(int signalNumber)
{
    if (signalled.exchange(true))
        _exit(128 + signalNumber);
    const unsigned char number = static_cast<unsigned char>(signalNumber);
    [[maybe_unused]] const ssize_t written = ::write(pipeEnds[0], &number, 1);
}

} // namespace

TerminationSignals::TerminationSignals(QObject *parent) : QObject(parent) {}

TerminationSignals::~TerminationSignals()
{
    if (!notifier)
        return;
    for (int signalNumber : {SIGTERM, SIGINT})
        std::signal(signalNumber, SIG_DFL);
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
    pipeEnds[0] = pipeEnds[1] = -1;
}

bool TerminationSignals::install()
{
    if (notifier)
        return true;
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pipeEnds) != 0) {
        qDebug() << "Cannot watch for termination signals";
        return false;
    }
    notifier = new QSocketNotifier(pipeEnds[1], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &TerminationSignals::readSignal);
    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signalNumber : {SIGTERM, SIGINT})
        sigaction(signalNumber, &action, nullptr);
    return true;
}

void TerminationSignals::readSignal()
{
    unsigned char number = 0;
    if (::read(pipeEnds[1], &number, 1) == 1)
        emit received(number);
}
