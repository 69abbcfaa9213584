#include "ui/accessible_names.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QEvent>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPalette>
#include <memory>

QString SpokenCaption(const QString& caption) {
    QString spoken;
    spoken.reserve(caption.size());
    for (qsizetype i = 0; i < caption.size(); ++i) {
        // "&&" stands for one ampersand; a single one marks the access key.
        if (caption.at(i) == QLatin1Char('&')) {
            if (i + 1 < caption.size() && caption.at(i + 1) == QLatin1Char('&'))
                spoken += caption.at(++i);
            continue;
        }
        spoken += caption.at(i);
    }
    spoken = spoken.trimmed();
    if (spoken.endsWith(QLatin1Char(':')))
        spoken.chop(1);
    return spoken.trimmed();
}

void NameAfterLabel(QLabel* label, QWidget* box) {
    label->setBuddy(box);
    box->setAccessibleName(SpokenCaption(label->text()));
}

void NameSignButton(QAbstractButton* button, const QString& action) {
    button->setAccessibleName(action);
    button->setToolTip(action);
}

namespace {

// Restyles a list's selection as its focus comes and goes.
class SelectionFocus : public QObject {
public:
    explicit SelectionFocus(QAbstractItemView* list) : QObject(list), m_list(list) {
        list->installEventFilter(this);
        show(list->hasFocus());
    }

    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut)
            show(event->type() == QEvent::FocusIn);
        return false;
    }

private:
    void show(bool focused) {
        if (focused) {
            // The palette the list inherits, with its full highlight.
            m_list->setPalette(QPalette());
            return;
        }
        const QPalette inherited =
            m_list->parentWidget() ? m_list->parentWidget()->palette() : m_list->palette();
        const QColor highlight = inherited.color(QPalette::Active, QPalette::Highlight);
        const QColor base = inherited.color(QPalette::Active, QPalette::Base);
        QPalette pale;
        pale.setColor(QPalette::Highlight, QColor((highlight.red() + base.red()) / 2,
                                                  (highlight.green() + base.green()) / 2,
                                                  (highlight.blue() + base.blue()) / 2));
        pale.setColor(QPalette::HighlightedText, inherited.color(QPalette::Active, QPalette::Text));
        m_list->setPalette(pale);
    }

    QAbstractItemView* m_list;
};

const RowNouns& callNouns() {
    static const RowNouns nouns = {QStringLiteral("1 call"), QStringLiteral("%1 calls"),
                                   QStringLiteral("No calls")};
    return nouns;
}

QString rowCount(const RowNouns& nouns, int count) {
    return count == 1 ? nouns.one : nouns.many.arg(count);
}

// The rows selected: the selection of a list that selects whole rows is a set of row ranges.
int selectedRowCount(const QItemSelectionModel* selection) {
    int rows = 0;
    for (const QItemSelectionRange& range : selection->selection()) {
        if (range.left() == 0)
            rows += range.height();
    }
    return rows;
}

} // namespace

QString RowListState(const RowNouns& nouns, int shown, int total, int selected,
                     const QString& current) {
    if (total == 0)
        return nouns.none;
    const QString state = shown == total
                              ? rowCount(nouns, shown)
                              : QStringLiteral("%1 of %2").arg(shown).arg(rowCount(nouns, total));
    if (current.isEmpty() || selected == 0)
        return state + QStringLiteral(", none selected");
    if (selected == 1)
        return state + QStringLiteral(", selected: ") + current;
    return state + QStringLiteral(", %1 selected, current: ").arg(selected) + current;
}

QString CallListState(int shown, int total, int selected, const QString& current) {
    return RowListState(callNouns(), shown, total, selected, current);
}

void ShowFocusInSelection(QAbstractItemView* list) {
    new SelectionFocus(list);
}

namespace {

void describe(QAbstractItemView* list, const RowNouns& nouns, std::function<int()> total,
              std::function<QString(int row)> rowName) {
    auto update = [list, nouns, total = std::move(total), rowName = std::move(rowName)] {
        // A list that owns its model hears it go while the list itself is being destroyed.
        if (!qobject_cast<QAbstractItemView*>(static_cast<QObject*>(list)))
            return;
        const QItemSelectionModel* selection = list->selectionModel();
        const int shown = list->model()->rowCount();
        QModelIndex current = selection->currentIndex();
        if (!current.isValid() || !selection->isRowSelected(current.row(), QModelIndex())) {
            const QModelIndexList rows = selection->selectedRows();
            current = rows.isEmpty() ? QModelIndex() : rows.first();
        }
        const QString description =
            RowListState(nouns, shown, total ? total() : shown, selectedRowCount(selection),
                         current.isValid() ? rowName(current.row()) : QString());
        // The toolkit tells a screen reader when the description changes.
        if (description != list->accessibleDescription())
            list->setAccessibleDescription(description);
    };
    QAbstractItemModel* model = list->model();
    QObject::connect(model, &QAbstractItemModel::modelReset, list, update);
    QObject::connect(model, &QAbstractItemModel::layoutChanged, list, update);
    QObject::connect(model, &QAbstractItemModel::rowsInserted, list, update);
    QObject::connect(model, &QAbstractItemModel::rowsRemoved, list, update);
    // A call saved in place keeps its row: the name of the selected one follows its texts.
    QObject::connect(model, &QAbstractItemModel::dataChanged, list, update);
    QItemSelectionModel* selection = list->selectionModel();
    QObject::connect(selection, &QItemSelectionModel::selectionChanged, list, update);
    QObject::connect(selection, &QItemSelectionModel::currentChanged, list, update);
    update();
}

} // namespace

void DescribeCallList(QAbstractItemView* list, std::function<int()> total,
                      std::function<QString(int row)> rowName) {
    describe(list, callNouns(), std::move(total), std::move(rowName));
}

void DescribeRowList(QAbstractItemView* list, const RowNouns& nouns,
                     std::function<QString(int row)> rowName) {
    describe(list, nouns, nullptr, std::move(rowName));
}
