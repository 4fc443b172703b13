#pragma once

// SIGTERM and SIGINT always end the program. The first one asks the main loop to quit
// after its current step (request_quit), which runs the normal shutdown and exits 0. If
// the process still runs grace_ms later (a script that never returns, a shutdown that
// hangs), or a second such signal arrives, it ends at once with 128 + the signal number.
// Install before SDL starts: SDL then leaves the two signals to these handlers.
void install_quit_signals(int grace_ms);

// How long the default start-up grants a signalled program to finish its shutdown.
constexpr int QUIT_SIGNAL_GRACE_MS = 5000;
