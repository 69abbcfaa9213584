#include "ui/column_fit.h"

#include <QFontMetrics>
#include <QHeaderView>
#include <QSet>
#include <QTreeWidget>
#include <algorithm>

void FitColumnsToTexts(QTreeWidget* list, int columns) {
    // How much wider a digit can be than another in the list's font (nothing where digits
    // are set alike, as in most fonts).
    const QFontMetrics metrics(list->font());
    int narrowest = metrics.horizontalAdvance(QLatin1Char('0'));
    int widest = narrowest;
    for (char digit = '1'; digit <= '9'; ++digit) {
        const int advance = metrics.horizontalAdvance(QLatin1Char(digit));
        narrowest = std::min(narrowest, advance);
        widest = std::max(widest, advance);
    }
    const QHeaderView* header = list->header();
    for (int column = 0; column < columns; ++column) {
        int width = header->isHidden() ? 0 : header->sectionSizeHint(column);
        QSet<QString> shapes;
        for (int row = 0; row < list->topLevelItemCount(); ++row) {
            QTreeWidgetItem* item = list->topLevelItem(row);
            QString shape = item->text(column);
            int digits = 0;
            for (QChar& c : shape) {
                if (c.isDigit()) {
                    c = QLatin1Char('0');
                    ++digits;
                }
            }
            if (shapes.contains(shape))
                continue;
            shapes.insert(shape);
            const int text = list->sizeHintForIndex(list->indexFromItem(item, column)).width();
            width = std::max(width, text + digits * (widest - narrowest));
        }
        list->setColumnWidth(column, width);
    }
}
