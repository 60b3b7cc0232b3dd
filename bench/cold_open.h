#pragma once

#include <QString>

class QApplication;

// The argument that makes the bench program the child whose window is timed.
inline constexpr char kColdOpenChildFlag[] = "--cold-open-child";

// Whether the child may have transparent huge pages where the program asks for them, as the
// system allows, or none at all: the difference is what the hint costs memory touched for the first
// time.
enum class HugePages { AsAsked, Off };

// The child's work: starts the main window as the zerediz program does, with path on its command
// line (none if empty), and once the text area has drawn the page's text (or, with no page, its
// first paint) prints the moment on the steady clock and whether huge pages were off. Returns the
// process exit code.
int runColdOpenChild(QApplication &app, const QString &path);

// Seconds from starting a new process of this program as that child until its window has drawn
// the text of path; empty path: until the window without a page has drawn its text area. Throws if
// the child fails. The page should be in the page cache already; the process holds nothing yet.
double coldOpenSeconds(const QString &path, HugePages hugePages);
