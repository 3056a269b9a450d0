#pragma once

#include <QStringList>

#include <functional>

// A command gets its arguments (without the command name) and returns the exit
// code. Register one with a file-level `static const InspectCommand c{"name", "usage", fn};`.
using InspectFunction = std::function<int(const QStringList &args)>;

struct InspectCommand
{
    InspectCommand(const char *name, const char *usage, InspectFunction fn);
};

// Writes one line to standard output (UTF-8) and flushes it.
void printLine(const QByteArray &line);
