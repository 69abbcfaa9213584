#pragma once

#include "records/csv_writer.h"

#include <QString>
#include <functional>

class Connection;

// Progress of a long export: rows written so far and the total expected; answering false
// cancels the export.
using ExportProgress = std::function<bool(qint64 done, qint64 total)>;

// Writes every call to a CSV file: the columns of the call list, then Comments; dates in
// the international form; texts guarded against spreadsheet formulas unless `text` says
// otherwise. Answers false when cancelled (no file is left behind then). Failures throw.
bool ExportAllCalls(Connection& connection, const QString& path,
                    const ExportProgress& progress = {}, Csv::Text text = Csv::Text::Guarded);
