#pragma once

#include <QString>

// Text folded for finding: letter case and accents do not count ("Müller" folds to "muller",
// "Ó Briain" to "o briain"). The list folds its columns and the words typed with it, and the
// engine's function FindFolded() folds the comments that their index holds the same way.
QString FoldedForFind(const QString& text);
