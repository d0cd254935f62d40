// SIGINT and SIGTERM as a close request: the program ends through its
// normal path (WM_CLOSE, WM_DESTROY, quit) instead of being killed.
#pragma once

// Catches SIGINT and SIGTERM from now on. A second signal, when the first
// has not ended the program, is left to the default action.
void installCloseSignals();
// Readable once a signal has arrived and until it is delivered; -1 before
// installCloseSignals.
int closeSignalFd();
// If a signal has arrived, posts WM_CLOSE to every top-level window.
void deliverCloseSignal();
