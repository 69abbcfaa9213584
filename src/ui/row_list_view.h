#pragma once

#include <QTableView>

class QHeaderView;

// A list of whole rows over a flat model of any size: rows of one height, no grid, no row
// headers, the focus drawn around the current row, and the keys of a list (Home and End go to
// the first and last row, Left and Right scroll the columns). A table view places its rows by
// their fixed height, so a list of a million rows takes a removed or added row without laying
// every row out again.
class RowListView : public QTableView {
    Q_OBJECT
public:
    explicit RowListView(QWidget* parent = nullptr);

    // The column headers.
    QHeaderView* header() const;
    // Lays out what changed first, so that the scroll range holds every row.
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;

protected:
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void keyboardSearch(const QString& search) override;
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

private:
    void fitRowHeight();
    // The current row's rectangle within the viewport, across every column.
    QRect rowRect(int row) const;
};
