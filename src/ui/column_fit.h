#pragma once

class QTreeWidget;

// Widens each of the first `columns` columns of `list` to its header and its widest text, as
// QTreeView::resizeColumnToContents does, but measures one row of each shape of text only:
// texts that differ in their digits alone (dates, IDs) are as wide, give or take what the
// digits of the font differ by. A long history or a list of thousands of deleted calls
// repeats a few shapes, and measuring every row took longer than everything else of opening
// the window.
void FitColumnsToTexts(QTreeWidget* list, int columns);
