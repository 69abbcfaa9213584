#pragma once

struct sqlite3;

// Functions the SQL dialect needs beyond what SQLite offers:
// - StoredDate(x): turns date text into the stored form and fails the statement for text that
//   is not a date (used by the triggers of the date columns);
// - FoldedCase(x): the text with letter case folded away;
// - the collation Caseless: the order of the value lists, without regard to letter case;
// - First(x), Last(x): aggregates giving the value of the first and the last row scanned.
// It also keeps plain scans of a table in the order the rows were stored, which First and Last
// rely on.
void RegisterEngineFunctions(sqlite3* db);
