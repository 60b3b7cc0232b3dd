#pragma once

#include <QByteArray>
#include <QStringList>

// The stand-in's end of the DevTools pipe, as Chromium takes it on each platform: descriptors 3
// and 4 on Linux, the handles that --remote-debugging-io-pipes names on Windows.

// Takes the pipe the arguments or the descriptors give; false where there is none.
bool openPipe(const QStringList &arguments);
// Some bytes, or none once the other end is closed.
QByteArray readPipe();
bool writePipe(const QByteArray &bytes);
// Ends the process at once, as a browser that crashes or is killed ends.
[[noreturn]] void dieAtOnce();
