#pragma once

#include <QString>

// The argument that makes the bench program the child whose memory is measured.
inline constexpr char kPeakMemoryChildFlag[] = "--open-for-peak-memory";

// The child's work: opens path through the main window and prints its peak resident memory in
// bytes. Returns the process exit code.
int runPeakMemoryChild(const QString &path);

// Runs this program as a child that opens path; returns the child's peak resident memory in
// bytes. A child of its own keeps the pages this process already holds out of the figure.
qint64 peakMemoryOfOpening(const QString &path);
