#include "platform/stop_signals.h"

#include <atomic>
#include <csignal>

namespace {
std::atomic<int> received{0};

void NoteSignal(int signal)
{
    received = signal;
}
}

void InstallStopSignals()
{
    struct sigaction action {};
    action.sa_handler = NoteSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

int ReceivedStopSignal()
{
    return received;
}
