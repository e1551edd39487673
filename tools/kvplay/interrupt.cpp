#include "tools/kvplay/interrupt.h"

#include "tools/kvplay/output_file.h"

#include <pthread.h>

#include <csignal>
#include <cstdlib>
#include <thread>

namespace kvplay {

void endCleanlyOnSignals()
{
    sigset_t signals;
    sigemptyset(&signals);
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaddset(&signals, signal);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::thread([signals] {
        int signal = 0;
        while (sigwait(&signals, &signal) != 0) {
        }
        discardUnfinishedOutputs();
        std::signal(signal, SIG_DFL);
        pthread_sigmask(SIG_UNBLOCK, &signals, nullptr);
        std::raise(signal);
        std::_Exit(128 + signal); // not reached: the default action ends the process
    }).detach();
}

} // namespace kvplay
