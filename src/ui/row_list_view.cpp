#include "ui/row_list_view.h"

#include <QEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionFocusRect>

RowListView::RowListView(QWidget* parent) : QTableView(parent) {
    setShowGrid(false);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    // Tab leaves the list for the next control, as in any list.
    setTabKeyNavigation(false);
    setSelectionBehavior(SelectRows);
    setHorizontalScrollMode(ScrollPerPixel);
    setVerticalScrollMode(ScrollPerItem);
    verticalHeader()->hide();
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    fitRowHeight();
}

QHeaderView* RowListView::header() const {
    return horizontalHeader();
}

void RowListView::scrollTo(const QModelIndex& index, ScrollHint hint) {
    executeDelayedItemsLayout();
    QTableView::scrollTo(index, hint);
}

// Every row is as high as one line of text in a cell.
void RowListView::fitRowHeight() {
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    option.features |= QStyleOptionViewItem::HasDisplay;
    option.text = QStringLiteral("Ag");
    const QSize size = style()->sizeFromContents(QStyle::CT_ItemViewItem, &option, QSize(), this);
    verticalHeader()->setDefaultSectionSize(std::max(1, size.height()));
}

void RowListView::changeEvent(QEvent* event) {
    QTableView::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        fitRowHeight();
}

QRect RowListView::rowRect(int row) const {
    return QRect(-horizontalHeader()->offset(), rowViewportPosition(row),
                 horizontalHeader()->length(), rowHeight(row));
}

QModelIndex RowListView::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
    const QModelIndex current = currentIndex();
    const int rows = model() ? model()->rowCount(rootIndex()) : 0;
    switch (action) {
    case MoveLeft:
    case MoveRight: {
        // The row stays; the columns scroll.
        QScrollBar* bar = horizontalScrollBar();
        const bool back = (action == MoveLeft) != (layoutDirection() == Qt::RightToLeft);
        bar->setValue(bar->value() + (back ? -bar->singleStep() : bar->singleStep()));
        return current;
    }
    case MoveHome:
    case MoveEnd:
        if (rows == 0)
            return QModelIndex();
        return model()->index(action == MoveHome ? 0 : rows - 1,
                              current.isValid() ? current.column() : 0, rootIndex());
    default:
        return QTableView::moveCursor(action, modifiers);
    }
}

// Typing finds a row by the start of its first column, whichever cell was clicked last.
void RowListView::keyboardSearch(const QString& search) {
    const QModelIndex current = currentIndex();
    if (current.isValid() && current.column() != 0)
        selectionModel()->setCurrentIndex(current.siblingAtColumn(0),
                                          QItemSelectionModel::NoUpdate);
    QTableView::keyboardSearch(search);
}

void RowListView::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTableView::currentChanged(current, previous);
    // The focus frame goes round the whole row.
    for (const QModelIndex& index : {previous, current})
        if (index.isValid())
            viewport()->update(rowRect(index.row()));
}

void RowListView::paintEvent(QPaintEvent* event) {
    QTableView::paintEvent(event);
    const QModelIndex current = currentIndex();
    if (!current.isValid() || !(hasFocus() || viewport()->hasFocus()))
        return;
    QStyleOptionViewItem item;
    initViewItemOption(&item);
    QStyleOptionFocusRect focus;
    focus.QStyleOption::operator=(item);
    focus.state |= QStyle::State_KeyboardFocusChange;
    const QPalette::ColorGroup group =
        (item.state & QStyle::State_Enabled) ? QPalette::Normal : QPalette::Disabled;
    const bool selected = selectionModel() && selectionModel()->isSelected(current);
    focus.backgroundColor =
        item.palette.color(group, selected ? QPalette::Highlight : QPalette::Window);
    focus.rect = rowRect(current.row());
    QPainter painter(viewport());
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
}
