#include "ui/column_fit.h"

#include <QEvent>
#include <QFontMetrics>
#include <QHeaderView>
#include <QSet>
#include <QTreeWidget>
#include <algorithm>
#include <numeric>
#include <vector>

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

namespace {

// Keeps the columns of a list within its width, from the widths that fit their texts.
class ColumnsWithin : public QObject {
public:
    ColumnsWithin(QTreeWidget* list, int first) : QObject(list), m_list(list), m_first(first) {
        const int columns = list->columnCount();
        FitColumnsToTexts(list, columns);
        for (int column = 0; column < columns; ++column) {
            m_fitting.push_back(list->columnWidth(column));
            m_floor.push_back(std::min(m_fitting.back(), list->header()->sectionSizeHint(column)));
        }
        list->viewport()->installEventFilter(this);
        // The last column follows the list's width by itself; another one resized, not by
        // this, was resized by hand.
        connect(list->header(), &QHeaderView::sectionResized, this, [this](int column) {
            if (!m_applying && column != m_list->columnCount() - 1)
                m_byHand = true;
        });
        apply();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Resize && !m_byHand)
            apply();
        return QObject::eventFilter(watched, event);
    }

private:
    // Narrows the widest of `columns` a step at a time until `excess` is gone or none can
    // give more.
    void narrow(std::vector<int>& widths, const std::vector<int>& columns, int& excess) const {
        while (excess > 0) {
            int widest = -1;
            for (const int column : columns) {
                if (widths[column] > m_floor[column] &&
                    (widest < 0 || widths[column] > widths[widest]))
                    widest = column;
            }
            if (widest < 0)
                return;
            int next = m_floor[widest];
            for (const int column : columns) {
                if (widths[column] < widths[widest])
                    next = std::max(next, widths[column]);
            }
            const int give = std::min(excess, widths[widest] - next);
            widths[widest] -= give;
            excess -= give;
        }
    }

    void apply() {
        const int available = m_list->viewport()->width();
        if (available <= 0)
            return;
        std::vector<int> widths = m_fitting;
        int excess = std::accumulate(widths.begin(), widths.end(), 0) - available;
        std::vector<int> others;
        for (int column = 0; column < int(widths.size()); ++column) {
            if (column != m_first)
                others.push_back(column);
        }
        narrow(widths, others, excess);
        if (m_first >= 0)
            narrow(widths, {m_first}, excess);
        m_applying = true;
        for (int column = 0; column < int(widths.size()); ++column)
            m_list->setColumnWidth(column, widths[column]);
        m_applying = false;
    }

    QTreeWidget* m_list;
    int m_first;
    std::vector<int> m_fitting;
    std::vector<int> m_floor;
    bool m_applying = false;
    bool m_byHand = false;
};

} // namespace

void FitColumnsWithin(QTreeWidget* list, int first) {
    new ColumnsWithin(list, first);
}
