#pragma once

#include <QStyledItemDelegate>

// Tooltips of a list's cells: a cell whose text is cut shows its whole text, above what the
// model's own tooltip says about it. Installed as the list's item delegate.
class CellTooltips : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // The text a cell's tooltip shows: the model's tip, after the whole text when it is cut.
    static QString tipFor(const QString& shown, const QString& modelTip, bool cut);
    // In a list of whole rows the view frames the current row; no cell draws a focus frame
    // of its own.
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;
    // Whether the text of `index` needs more room than the cell has.
    bool textCut(const QStyleOptionViewItem& option, const QModelIndex& index) const;
};
