#pragma once

#include <QString>

// The signals that ask a run to stop: Ctrl+C (SIGINT), SIGTERM and SIGHUP on Linux; on Windows
// the console's Ctrl+C, Ctrl+Break and its closing (or a logoff or shutdown), numbered 2, 21 and 1.
// Taken by the default action, they would end the program between any two system calls, leaving
// a temporary file half written beside a page. Instead they are only noted: no new page is
// started, the pages under way are finished (each is then old or new, and no temporary file
// stays), and the run ends with 128 + the signal's number, as a shell reports a program that the
// signal ended. Each platform has its own file of these.

// Makes the signals only note that the run is to stop. Called first in main, before any other
// thread starts.
void catchStopSignals();

// The signal that asked to stop, or 0 while none has.
int stopSignal();

// The name a person knows the signal by, such as SIGINT or Ctrl+C.
QString signalName(int signal);
