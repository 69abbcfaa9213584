#include "app/main_window.h"

#include "calls/call_editor.h"
#include "data/failure.h"
#include "data/server_link.h"
#include "list/call_list_loader.h"
#include "list/call_list_model.h"
#include "list/call_list_tools.h"
#include "list/find_bar.h"
#include "list/list_zoom.h"
#include "reports/report_chooser.h"
#include "ui/app_paths.h"
#include "ui/appearance.h"
#include "ui/cell_tooltips.h"
#include "ui/changed_elsewhere.h"
#include "ui/error_trap.h"
#include "ui/help_window.h"
#include "ui/prompts.h"
#include "ui/twips.h"

#include "ui/row_list_view.h"
#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QShortcut>
#include <QUrl>
#include <utility>

Form1::Form1(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Form1"));
    buildControls();
}

Form1::~Form1() {
    // The reader of a fill still running stops before the list goes.
    delete m_loader;
}

QString Form1::DataFolder() {
    return SpecialFolderPath(kCommonAppData) + QLatin1Char('/') + kVendor + QLatin1Char('/') +
           kProductTitle;
}

namespace {
QString& serverForThisRun() {
    static QString uri;
    return uri;
}
} // namespace

void Form1::UseServer(const QString& uri) {
    serverForThisRun() = uri.trimmed();
}

QString Form1::ServerUri() {
    if (!serverForThisRun().isEmpty())
        return serverForThisRun();
    const QString stored =
        GetSetting(kVendor, kProductTitle, QStringLiteral("Server"), QString()).trimmed();
    if (ServerLink::holdsPassword(stored) ||
        stored.contains(QLatin1String("password="), Qt::CaseInsensitive))
        throw Failure(QStringLiteral("The \"Server\" setting holds a password. Remove it from the "
                                     "setting and keep it in ~/.pgpass, the connection service "
                                     "file or the environment (PGPASSWORD)."));
    return stored;
}

QString Form1::ConnectionString() {
    const QString server = ServerUri();
    if (!server.isEmpty())
        return server;
    return QStringLiteral("provider=microsoft.jet.oledb.4.0;data source=") +
           SpecialFolderPath(kCommonAppData) + QStringLiteral("\\Merrowfen\\") + kProductTitle +
           QStringLiteral("\\dbData.mdb;JET OLEDB:Database Password=");
}

void Form1::buildControls() {
    resize(TwipsToPixels(kDesignWidth), TwipsToPixels(kDesignHeight));
    // The window never shrinks below its design size, so no button is ever cut off.
    setMinimumSize(size());
    // The controls stand on a surface that covers the window: the skin goes there, so that it
    // does not reach the windows and boxes opened over the main window.
    m_client = new QWidget(this);
    m_client->setObjectName(QStringLiteral("ClientArea"));
    m_client->setGeometry(rect());

    m_calls = new CallListModel(this);
    ListView1 = new RowListView(m_client);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setModel(m_calls);
    ListView1->setItemDelegate(new CellTooltips(ListView1));
    ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    // Several rows may be selected for copying and exporting; Edit and Delete act on the
    // current one.
    ListView1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView1->setFont(QFont(QStringLiteral("Arial"), 9, QFont::Bold));
    ListView1->header()->setStretchLastSection(false);
    ListView1->header()->setSectionsClickable(true);
    ListView1->header()->setSectionsMovable(false);
    ListView1->header()->setSortIndicatorShown(false);
    ListView1->setGeometry(TwipsRect(120, 120, 11760, 5475));
    connect(ListView1->header(), &QHeaderView::sectionClicked, this, &Form1::ListView1_ColumnClick);
    connect(ListView1, &RowListView::doubleClicked, this, [this] { editCurrentRow(); });
    ListView1->installEventFilter(this);
    keepCurrentRowSelected();
    // Ctrl with "+", "-" and "0" zoom the list; the zoom is kept with the window's settings.
    m_zoom = new ListZoom(ListView1, this, QStringLiteral("ListZoom"));
    // F1 opens the user's guide in every window.
    HelpWindow::watchF1();

    struct ButtonSpec {
        QPushButton** button;
        const char* name;
        const char* caption;
        int left, top;
    };
    const ButtonSpec buttons[] = {
        {&PushButton2, "PushButton2", "Add New Call", 120, 5685},
        {&PushButton1, "PushButton1", "Edit Selected Call", 4080, 5685},
        {&PushButton3, "PushButton3", "Delete Selected Call", 120, 6195},
        {&PushButton5, "PushButton5", "Reports", 4080, 6195},
        {&PushButton4, "PushButton4", "Load Sample/Example Data", 8040, 5685},
        {&PushButton6, "PushButton6", "Help", 8040, 6195},
    };
    const QFont buttonFont(QStringLiteral("Arial"), 11, QFont::Bold);
    QFont buttonFontExact = buttonFont;
    buttonFontExact.setPointSizeF(11.25);
    m_pointer = new PointerFeedback(this);
    for (const ButtonSpec& spec : buttons) {
        auto* button = new QPushButton(QString::fromLatin1(spec.caption), m_client);
        button->setObjectName(QString::fromLatin1(spec.name));
        button->setFont(buttonFontExact);
        button->setGeometry(TwipsRect(spec.left, spec.top, 3840, 405));
        button->setAutoDefault(false);
        *spec.button = button;
        m_pointer->watchButton(button);
    }
    // Tab order follows the list, then Add, Edit, Delete, Reports, Sample data, Help.
    setTabOrder(ListView1, PushButton2);
    setTabOrder(PushButton2, PushButton1);
    setTabOrder(PushButton1, PushButton3);
    setTabOrder(PushButton3, PushButton5);
    setTabOrder(PushButton5, PushButton4);
    setTabOrder(PushButton4, PushButton6);
    m_pointer->watchBackground(this);
    m_pointer->watchBackground(m_client);
    m_pointer->watchBackground(ListView1->viewport());

    connect(PushButton1, &QPushButton::clicked, this, &Form1::PushButton1_Click);
    connect(PushButton2, &QPushButton::clicked, this, &Form1::PushButton2_Click);
    connect(PushButton3, &QPushButton::clicked, this, &Form1::PushButton3_Click);
    connect(PushButton5, &QPushButton::clicked, this, &Form1::PushButton5_Click);
    connect(PushButton6, &QPushButton::clicked, this, &Form1::PushButton6_Click);
    connect(PushButton4, &QPushButton::clicked, this, &Form1::PushButton4_Click);

    auto* addShortcut = new QShortcut(QKeySequence::New, this);
    connect(addShortcut, &QShortcut::activated, this, &Form1::PushButton2_Click);

    m_loader = new CallListLoader(m_calls, this);
    connect(m_loader, &CallListLoader::finished, this, [this](const QString& failure) {
        // A list that took the focus while empty gets the current row that focusing a full
        // list gives.
        if (ListView1->hasFocus() && !ListView1->currentIndex().isValid() &&
            m_calls->rowCount() > 0)
            ListView1->selectionModel()->setCurrentIndex(m_calls->index(0, 0),
                                                         QItemSelectionModel::NoUpdate);
        // The fill belongs to the load step's statement that started it.
        if (!failure.isEmpty())
            ErrorReport(failure, ErrorTrap("Form1", "Form_Load").location(), 178);
    });
    m_tools = new CallListTools(
        this, ListView1, m_calls, [this] { editCurrentRow(); }, [this] { deleteCurrentRow(); });
    addRoomCommands();
    // The buttons' tooltips name their keys.
    const std::pair<QPushButton*, QKeySequence> keys[] = {
        {PushButton2, QKeySequence(QKeySequence::New)},
        {PushButton1, QKeySequence(Qt::Key_Return)},
        {PushButton3, QKeySequence(QKeySequence::Delete)},
    };
    for (const auto& [button, sequence] : keys)
        button->setToolTip(QStringLiteral("%1 (%2)").arg(
            button->text(), sequence.toString(QKeySequence::NativeText)));
    ListView1->setToolTip(QString());
}

void Form1::keepCurrentRowSelected() {
    // What looks selected is selected: the current row (which the list tints) is always the
    // selected one, and a list without a selection has no current row.
    QItemSelectionModel* selection = ListView1->selectionModel();
    connect(selection, &QItemSelectionModel::currentRowChanged, this,
            [selection](const QModelIndex& current) {
                // Ctrl and Shift clicks add rows to the selection (for copying and exporting)
                // right after they move the current row.
                if (QGuiApplication::keyboardModifiers() &
                    (Qt::ControlModifier | Qt::ShiftModifier))
                    return;
                if (current.isValid() && !selection->isRowSelected(current.row()))
                    selection->select(current, QItemSelectionModel::ClearAndSelect |
                                                   QItemSelectionModel::Rows);
            });
    connect(selection, &QItemSelectionModel::selectionChanged, this, [selection] {
        if (!selection->hasSelection() && selection->currentIndex().isValid())
            selection->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    });
}

void Form1::PushButton5_Click() {
    ErrorTrap trap("Form1", "PushButton5_Click");
    const CommandRunning running(m_commands);
    Form4 chooser(this);
    trap.run(100, [&] {
        chooser.Form_Load();
        CurrentPrompts().showModal(chooser);
    });
}

void Form1::PushButton6_Click() {
    ErrorTrap trap("Form1", "PushButton6_Click");
    const CommandRunning running(m_commands);
    trap.run(100, [&] {
        MsgBox(QStringLiteral("Questions? Please contact Team Merrowfen at ") +
                   QStringLiteral(QUORVANE_CONTACT_PAGE),
               Prompts::OkOnly);
    });
}

void Form1::ListView1_ColumnClick(int column) {
    const int remembered = m_calls->sorted() ? m_calls->sortKey() : -1;
    m_calls->setSorted(false);
    if (column + 1 == remembered + 1)
        m_calls->setSortOrder(m_calls->sortOrder() == 0 ? 1 : 0);
    else
        m_calls->setSortOrder(0);
    m_calls->setSortKey(column);
    m_calls->setSorted(true);
    ListView1->header()->setSortIndicatorShown(true);
    ListView1->header()->setSortIndicator(column, m_calls->sortOrder() == 0 ? Qt::AscendingOrder
                                                                            : Qt::DescendingOrder);
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ListView1 && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            editCurrentRow();
            return true;
        }
        if (key->key() == Qt::Key_Delete) {
            deleteCurrentRow();
            return true;
        }
        if (key->key() == Qt::Key_Escape && m_tools->findOpen()) {
            m_tools->closeFind();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void Form1::closeEvent(QCloseEvent* event) {
    if (!m_unloaded) {
        m_unloaded = true;
        Form_QueryUnload();
        // The program ends with the main window: every other window goes with it.
        const auto windows = QApplication::topLevelWidgets();
        for (QWidget* window : windows) {
            if (window != this && window->isVisible())
                window->close();
        }
    }
    event->accept();
}
