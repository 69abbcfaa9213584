#include "contacts/employee_editor.h"

#include "contacts/call_rows_model.h"
#include "contacts/contact_fields.h"
#include "ui/accessible_names.h"
#include "ui/appearance.h"
#include "ui/cell_tooltips.h"
#include "ui/error_trap.h"
#include "ui/twips.h"

#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QTreeView>

namespace {

// The nine columns of both call lists; the last keeps the list's default width.
struct CallColumn {
    const char* header;
    int width; // twips; 0 for the default
};
const CallColumn kCallColumns[CallRowsModel::kColumns] = {
    {"Title", 2000},    {"Assigned To", 1500}, {"Caller", 1500},
    {"Priority", 1200}, {"Status", 1500},      {"Category", 1200},
    {"Due Date", 1200}, {"Opened By", 1200},   {"Opened Date", 0},
};

// Where the two frames stand in the window and each list in its frame, in twips.
constexpr int kFrameLeft = 5760;
constexpr int kFrameWidth = 5520;
constexpr int kFrameHeight = 3315;
constexpr int kListLeft = 240;
constexpr int kListTop = 360;
constexpr int kListWidth = 5040;
constexpr int kListHeight = 2775;

QGroupBox* makeFrame(QWidget* parent, const char* name, const QString& caption, int top) {
    auto* frame = new QGroupBox(caption, parent);
    frame->setObjectName(QLatin1String(name));
    frame->setGeometry(TwipsRect(kFrameLeft, top, kFrameWidth, kFrameHeight));
    return frame;
}

} // namespace

Form3::Form3(QWidget* parent)
    : ContactEditor(kEmployeeKind, parent), PushButton1(m_cancel),
      m_opened(new CallRowsModel(this)), m_assigned(new CallRowsModel(this)) {
    Frame1 = makeFrame(this, "Frame1", QStringLiteral("Opened Calls"), 240);
    Frame2 = makeFrame(this, "Frame2", QStringLiteral("Assigned Calls"), 3660);
    ListView1 = makeList(Frame1, "ListView1", m_opened);
    ListView2 = makeList(Frame2, "ListView2", m_assigned);
    // A screen reader names each list after its frame and hears its count and selected call.
    ListView1->setAccessibleName(Frame1->title());
    ListView2->setAccessibleName(Frame2->title());
    for (auto [list, rows] : {std::pair{ListView1, m_opened}, std::pair{ListView2, m_assigned}}) {
        DescribeCallList(list, nullptr, [rows = rows](int row) {
            const QString& title = rows->row(row)[0];
            return title.isEmpty() ? QStringLiteral("a call without title") : title;
        });
        ShowFocusInSelection(list);
    }
    setTabOrder(PushButton1, ListView2);
    setTabOrder(ListView2, ListView1);
    // Over the frames and the lists the pointer turns back to the default.
    for (QWidget* area : {static_cast<QWidget*>(Frame1), static_cast<QWidget*>(Frame2),
                          static_cast<QWidget*>(ListView1), ListView1->viewport(),
                          static_cast<QWidget*>(ListView2), ListView2->viewport()})
        pointer()->watchBackground(area);
}

Form3::~Form3() = default;

QTreeView* Form3::makeList(QGroupBox* frame, const char* name, CallRowsModel* model) {
    auto* list = new QTreeView(frame);
    list->setObjectName(QLatin1String(name));
    list->setGeometry(TwipsRect(kListLeft, kListTop, kListWidth, kListHeight));
    list->setRootIsDecorated(false);
    list->setItemsExpandable(false);
    list->setUniformRowHeights(true);
    list->setAllColumnsShowFocus(true);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setSortingEnabled(false);
    list->header()->setStretchLastSection(false);
    list->setModel(model);
    list->setItemDelegate(new CellTooltips(list));
    // A header click sorts (dates by date); a double-click or Enter opens the call.
    model->setDateColumns({6, 8});
    list->header()->setSectionsClickable(true);
    list->header()->setSortIndicatorShown(false);
    connect(list->header(), &QHeaderView::sectionClicked, this, [list, model](int column) {
        model->sortByClick(column);
        list->header()->setSortIndicatorShown(true);
        list->header()->setSortIndicator(column, model->sortOrder());
    });
    connect(list, &QTreeView::doubleClicked, this, [this, list] { openCurrentCall(list); });
    list->installEventFilter(this);
    return list;
}

std::function<void(const QString& id)>& Form3::CallOpener() {
    static std::function<void(const QString& id)> opener;
    return opener;
}

void Form3::openCurrentCall(QTreeView* list) {
    auto* model = static_cast<CallRowsModel*>(list->model());
    const QModelIndex current = list->currentIndex();
    const qint64 id = current.isValid() ? model->idAt(current.row()) : -1;
    if (id < 0 || !CallOpener())
        return;
    CallOpener()(QString::number(id));
    LoadOpenedCalls();
    LoadAssignedCalls();
    // The call stays current where it is still listed.
    for (int row = 0; row < model->rowCount(); ++row) {
        if (model->idAt(row) == id) {
            list->setCurrentIndex(model->index(row, 0));
            break;
        }
    }
}

bool Form3::eventFilter(QObject* watched, QEvent* event) {
    if ((watched == ListView1 || watched == ListView2) && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            openCurrentCall(static_cast<QTreeView*>(watched));
            return true;
        }
    }
    return ContactEditor::eventFilter(watched, event);
}

int Form3::setUpLists(ErrorTrap& trap, int line) {
    const std::pair<QTreeView*, CallRowsModel*> lists[] = {{ListView1, m_opened},
                                                           {ListView2, m_assigned}};
    for (const auto& [view, model] : lists) {
        QTreeView* list = view;
        for (const CallColumn& column : kCallColumns) {
            CallRowsModel* headers = model;
            trap.run(line, [&] { headers->addColumn(QLatin1String(column.header)); });
            line += 2;
        }
        for (int index = 0; index < CallRowsModel::kColumns; ++index) {
            if (kCallColumns[index].width == 0)
                continue;
            trap.run(line, [&] {
                list->header()->resizeSection(index, TwipsToPixels(kCallColumns[index].width));
            });
            line += 2;
        }
    }
    return line;
}

void Form3::loadLists(ErrorTrap& trap, int line) {
    trap.run(line, [&] { LoadOpenedCalls(); });
    trap.run(line + 2, [&] { LoadAssignedCalls(); });
}

void Form3::PushButton1_Click() {
    cancel();
}
