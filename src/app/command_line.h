#pragma once

#include <QStringList>
#include <QTextStream>
#include <optional>

// The command line: work done without a window, usable from scripts and with no display.
// Exit status 0 on success, 1 when the work failed, 2 for arguments that make no sense.

// True when the arguments ask for work without a window (any "--" option, -h, -v or -?);
// other arguments are left to the windowed program.
bool IsCommandLineWork(const QStringList& arguments);

// Runs the work that `arguments` (program name first) ask for, printing results to `out` and
// errors to `err`. Needs an application object.
int RunCommands(const QStringList& arguments, QTextStream& out, QTextStream& err);

// The arguments of a run that opens the window: nothing but --server URI is allowed. Answers
// the exit status (2, with the message written to `err`) when they make no sense; otherwise
// nothing, with the server chosen for the run.
std::optional<int> CheckWindowArguments(const QStringList& arguments, QTextStream& err);

// From main(): creates the application object that the work needs (none that needs a
// display) and runs it. Nothing when the program should start its window as usual.
std::optional<int> RunCommandLine(int argc, char** argv);
