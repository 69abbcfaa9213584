#pragma once

#include <QString>
#include <optional>

// The processor's address width as the kernel reports it ("64" or "32"), or the empty text
// when no processor is listed.
QString GetAddressWidth();
// The same from the text of /proc/cpuinfo and the kernel's machine name (as uname gives it):
// a processor counts as 64-bit when the kernel runs in 64-bit mode and, where the processor
// lists its flags, it can run in long mode. The last processor listed decides.
QString AddressWidthOf(const QString& cpuinfo, const QString& kernelMachine);

// Starts a program and waits for its end, letting the windows handle their events every
// 100 ms meanwhile. Answers the program's exit code (128 plus the signal number when a signal
// ended it), or, when it cannot start, the failure number plus -2147221504 at once.
// The window style (0 hidden up to 6 minimized without activation; missing or outside 0 to 6
// means 6) is handed to the program in the environment variable QUORVANE_WINDOW_STYLE.
int ShellAndWait(const QString& commandLine, std::optional<int> windowStyle = std::nullopt);

// Lets tests play a machine whose database engine is broken: while set, the components check
// cannot create its test connection.
void SetDatabaseComponentsBroken(bool broken);
