// SIGINT and SIGTERM as a close request: the message queue turns a waiting
// signal into WM_CLOSE, so the program ends through its normal path
// (WM_CLOSE, WM_DESTROY, quit) instead of being killed.
#include "port/close_signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

namespace port {
namespace {

// The self-pipe: the handler writes a byte, the message queue's wait wakes
// up on the read end and takes the signal outside the handler.
int pipeEnds[2] = {-1, -1};
volatile sig_atomic_t signalled = 0;

extern "C" void onCloseSignal(int number) {
  signalled = 1;
  // A program that did not end on the first request can still be stopped.
  signal(number, SIG_DFL);
  const char byte = 1;
  [[maybe_unused]] const ssize_t written = write(pipeEnds[1], &byte, 1);
}

}  // namespace

void installCloseSignals() {
  if (pipeEnds[0] >= 0 || pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0) {
    return;
  }
  struct sigaction action {};
  action.sa_handler = onCloseSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

int closeSignalFd() { return pipeEnds[0]; }

bool takeCloseSignal() {
  if (signalled == 0) {
    return false;
  }
  signalled = 0;
  char drained[16];
  while (read(pipeEnds[0], drained, sizeof drained) > 0) {
  }
  return true;
}

}  // namespace port
