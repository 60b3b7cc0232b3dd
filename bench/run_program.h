#pragma once

#include <QString>
#include <QStringList>

// Runs program to its end, in folder if one is given, its standard input read from the file input
// if one is given and its output thrown away; the seconds from its start to its end. Throws, with
// what the program wrote to its standard error, unless it ended normally with status 0.
double runSeconds(const QString &program, const QStringList &arguments, const QString &folder = {},
                  const QString &input = {});
