#pragma once

class QTreeWidget;

// Widens each of the first `columns` columns of `list` to its header and its widest text, as
// QTreeView::resizeColumnToContents does, but measures one row of each shape of text only:
// texts that differ in their digits alone (dates, IDs) are as wide, give or take what the
// digits of the font differ by. A long history or a list of thousands of deleted calls
// repeats a few shapes, and measuring every row took longer than everything else of opening
// the window.
void FitColumnsToTexts(QTreeWidget* list, int columns);

// Fits every column of `list` to its texts and keeps them within the width the list shows:
// where they are wider together, the widest of the other columns give way first (never below
// their heading), so that column `first` (-1: none before the others) shows whole where it
// can. Done again when the list changes its width, until the person sets a width by hand.
void FitColumnsWithin(QTreeWidget* list, int first);
