#include "ui/cell_tooltips.h"

#include "ui/row_list_view.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QHelpEvent>
#include <QTextDocument>
#include <QToolTip>

namespace {
// Text shown as it is, also when it looks like markup.
QString plain(const QString& text) {
    return QStringLiteral("<p style=\"white-space:pre-wrap\">") + text.toHtmlEscaped() +
           QStringLiteral("</p>");
}
} // namespace

QString CellTooltips::tipFor(const QString& shown, const QString& modelTip, bool cut) {
    if (!cut || shown.isEmpty())
        return modelTip;
    if (modelTip.isEmpty() || modelTip == shown)
        return Qt::mightBeRichText(shown) ? plain(shown) : shown;
    // The model's tip may be markup already (escaped comments): both go as markup then.
    if (Qt::mightBeRichText(shown) || Qt::mightBeRichText(modelTip)) {
        const QString tip = Qt::mightBeRichText(modelTip) ? modelTip : plain(modelTip);
        return plain(shown) + QStringLiteral("<hr/>") + tip;
    }
    return shown + QStringLiteral("\n\n") + modelTip;
}

bool CellTooltips::textCut(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    QStyleOptionViewItem item = option;
    initStyleOption(&item, index);
    const QWidget* widget = item.widget;
    const QStyle* style = widget ? widget->style() : QApplication::style();
    const QRect textRect = style->subElementRect(QStyle::SE_ItemViewItemText, &item, widget);
    // The style leaves a margin on each side of the text.
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
    return item.fontMetrics.horizontalAdvance(item.text) + 2 * margin > textRect.width();
}

void CellTooltips::paint(QPainter* painter, const QStyleOptionViewItem& option,
                         const QModelIndex& index) const {
    if (!qobject_cast<const RowListView*>(option.widget) ||
        !(option.state & QStyle::State_HasFocus)) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    QStyleOptionViewItem cell = option;
    cell.state &= ~QStyle::State_HasFocus;
    QStyledItemDelegate::paint(painter, cell, index);
}

bool CellTooltips::helpEvent(QHelpEvent* event, QAbstractItemView* view,
                             const QStyleOptionViewItem& option, const QModelIndex& index) {
    if (!event || !view || event->type() != QEvent::ToolTip || !index.isValid())
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    const QString tip = tipFor(index.data(Qt::DisplayRole).toString(),
                               index.data(Qt::ToolTipRole).toString(), textCut(option, index));
    if (tip.isEmpty()) {
        QToolTip::hideText();
        event->ignore();
        return false;
    }
    QToolTip::showText(event->globalPos(), tip, view, option.rect);
    return true;
}
