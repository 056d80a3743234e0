#pragma once

// SIGINT and SIGTERM ask a command to stop as the Stop button does; the
// handler only notes the signal, the event loop acts on it.
void InstallStopSignals();
// The signal received, 0 while none.
int ReceivedStopSignal();
