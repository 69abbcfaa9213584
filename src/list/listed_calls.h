#pragma once

#include "records/call_export.h"

#include <QString>
#include <vector>

class CallListModel;
class Connection;

// What the list shows, taken out of the program: copied as tab-separated text for pasting into
// a spreadsheet, or exported to a CSV file. `rows` are display rows, in the order wanted.

// A header line of the column captions, then one line per row; fields holding a tab, a line
// break or a quote are quoted as spreadsheets expect.
QString ListedCallsAsTsv(const CallListModel& model, const std::vector<int>& rows);

// The listed rows as CSV with the comments of each call read from `connection`; dates in the
// international form. Answers false when cancelled (no file then); failures throw.
bool ExportListedCalls(const CallListModel& model, const std::vector<int>& rows,
                       Connection& connection, const QString& path,
                       const ExportProgress& progress = {});
