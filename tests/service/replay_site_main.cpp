// The replay of the railway site as a program, for trying the client against the live source
// and for the benchmarks: quillon-replay-site [PORT] prints its base address, serves until
// stopped.
#include "replaysite.h"

#include <QCoreApplication>

#include <csignal>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGINT);
    sigaddset(&stop, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stop, nullptr);
    QCoreApplication app(argc, argv);
    ReplaySite site;
    if (!site.start(argc > 1 ? std::atoi(argv[1]) : 0)) {
        std::fprintf(stderr, "port %s is in use\n", argv[1]);
        return 1;
    }
    std::printf("%s\n", qPrintable(site.base()));
    std::fflush(stdout);
    int sig = 0;
    sigwait(&stop, &sig);
    return 0;
}
