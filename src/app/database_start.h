#pragma once

#include <QString>

class ErrorTrap;

// The database file at start-up: made from the template when it is missing (or empty), and
// opened on the shared connection, with the user asked what to do when it will not open.

// Copies the template beside the program to `database` when there is no database, or when the
// file there is empty (0 bytes hold no data; the empty file is kept aside first). Answers the
// name the empty file was kept under, or the empty text. Failures throw with what to do.
QString MakeDatabaseFromTemplate(const QString& templatePath, const QString& database);
bool IsEmptyFile(const QString& path);

// The local call log for the command line. A command that writes (an import) makes it from the
// template when there is none yet, with its folders, as the window's start does; one that only
// reads fails, saying that there is no call log yet and how one is made.
void MakeCallLogToWrite(const QString& folder, const QString& templatePath,
                        const QString& database);
void RequireCallLog(const QString& database);

// Opens the shared connection. When the database will not open, asks: Retry tries again,
// Quit answers true (the program ends), Continue goes on without it (the next command tries
// again). A database that can only be read is said once. Whatever was said is noted on
// `trap`, so that the statements it stops are not reported again.
bool OpenSharedDatabase(const QString& connectionString, ErrorTrap& trap);
