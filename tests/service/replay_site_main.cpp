// The replay of the railway site as a program, for trying the client against the live source
// and for the benchmarks: prints its base address, serves until stopped.
#include "replaysite.h"

#include <QCoreApplication>

#include <csignal>
#include <cstdio>

int main(int argc, char** argv) {
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGINT);
    sigaddset(&stop, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stop, nullptr);
    QCoreApplication app(argc, argv);
    ReplaySite site;
    site.start();
    std::printf("%s\n", qPrintable(site.base()));
    std::fflush(stdout);
    int sig = 0;
    sigwait(&stop, &sig);
    return 0;
}
