#pragma once

#include <QtGlobal>

// What the tests ask of processes, the same on every system. Each platform has its own file of
// these.

// Whether the process with this id is still running.
bool processRuns(qint64 processId);
