#pragma once

#include <QString>
#include <QStringList>
#include <variant>

#include "core/browser/browser_error.h"

// Where the browser that pages are rendered in is found. Any browser of the Chromium kind speaks
// the DevTools protocol over a pipe, so any of them does: Chromium, Google Chrome, Microsoft Edge.
// Each platform has its own file of this: on Linux the names those browsers install on PATH and
// in the usual folders, on Windows the App Paths registry keys that installers write and the
// folders they install into, Edge first, as every Windows 10 and 11 has it.

// The first browser found, or NotFound with the places searched.
std::variant<QString, BrowserError> findBrowser();

// The program the user named, made whole, or NoProgram where it is nothing that can be run.
std::variant<QString, BrowserError> namedBrowser(const QString &path);
