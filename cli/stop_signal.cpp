#include "stop_signal.hpp"

#include <csignal>

namespace quorvel::cli {

namespace {

std::atomic<bool> stopRequested{false};
volatile std::sig_atomic_t stopSignal = 0;

extern "C" void RequestStop(int signal) {
    stopSignal = signal;
    stopRequested.store(true);
}

} // namespace

const std::atomic<bool>* StopFlag() {
    return &stopRequested;
}

void CatchStopSignals() {
    std::signal(SIGINT, RequestStop);
    std::signal(SIGTERM, RequestStop);
}

int StopSignal() {
    return stopSignal;
}

} // namespace quorvel::cli
