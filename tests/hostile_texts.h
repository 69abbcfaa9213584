#pragma once

#include <QString>

// Texts that break programs which build SQL, markup or files from what a person types, and
// what each text box keeps of them. Every box removes control characters other than tab and
// line breaks (a NUL, an escape or a bell cannot be seen, and a NUL cannot be stored); a box
// of one line turns a tab or a line break into one blank (CR LF into one), a box of several
// lines keeps them as they are.
//
// AddHostileTextRows() gives the running data function the columns
//   QString typed        what the person types or pastes
//   QString oneLine      what a one-line box keeps
//   QString severalLines what a box of several lines keeps
//   bool isDate          whether a date box takes it
//   QString shown        how the list and the reports show the one-line text, leaving out the
//                        invisible marks that keep its writing direction to itself
//   QString exportedOneLine, exportedSeveralLines
//                        how a CSV file holds the two: as kept, or with a leading apostrophe
//                        where a spreadsheet would run it as a formula
// and one row per text.
void AddHostileTextRows();
