#pragma once

#include <QString>
#include <functional>

class QAbstractButton;
class QAbstractItemView;
class QLabel;
class QWidget;

// What a screen reader needs to tell the controls of a window apart; none of it changes what
// the window shows.

// A caption as it is spoken: without the ampersand of its access key and without a colon at
// its end ("&Find:" is spoken "Find").
QString SpokenCaption(const QString& caption);

// Ties a label to the box beside it: the box is named by the label's text, and the label's
// access key, where it has one, moves the focus into the box.
void NameAfterLabel(QLabel* label, QWidget* box);

// Names a button that shows only a sign ("+", "*", "-") by what it does, and shows the same
// words as its tooltip.
void NameSignButton(QAbstractButton* button, const QString& action);

// Shows whether `list` has the focus: away from it, its selected rows are drawn in a paler
// highlight with the usual text colour, so the row of the focused list stands out.
void ShowFocusInSelection(QAbstractItemView* list);

// Keeps the description of a list of calls telling how many calls it lists ("3 of 12 calls"
// when `total` answers more than it lists) and which is selected, named by `rowName`; it
// follows the rows and the selection, and a screen reader is told of every change. The list's
// model and selection model must be set already.
void DescribeCallList(QAbstractItemView* list, std::function<int()> total,
                      std::function<QString(int row)> rowName);
// The description itself: "12 calls, none selected", "12 calls, selected: <current>",
// "3 of 12 calls, 2 selected, current: <current>", "No calls".
QString CallListState(int shown, int total, int selected, const QString& current);

// What a list of other rows is made of, as DescribeRowList tells it.
struct RowNouns {
    QString one;  // "1 change"
    QString many; // "%1 changes"
    QString none; // "No changes"
};
// The same description for a list of other rows than calls, counted by `nouns`.
void DescribeRowList(QAbstractItemView* list, const RowNouns& nouns,
                     std::function<QString(int row)> rowName);
QString RowListState(const RowNouns& nouns, int shown, int total, int selected,
                     const QString& current);
