#include "reports/report_chooser.h"

#include "data/recordset.h"
#include "data/shared_connection.h"
#include "reports/report_catalog.h"
#include "reports/report_document.h"
#include "reports/report_preview.h"
#include "ui/accessible_names.h"
#include "ui/app_paths.h"
#include "ui/appearance.h"
#include "ui/error_trap.h"
#include "ui/fixed_window.h"
#include "ui/prompts.h"
#include "ui/twips.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <memory>

// The statement numbers of one report's preview in PushButton1_Click; 0 for a step the
// report does not take.
struct Form4::Lines {
    int test, create, open, layout, source, title, orientation, show, close, release;
};

namespace {

// In the order of ReportEntries().
const Form4::Lines kPreviewLines[] = {
    {100, 102, 104, 106, 108, 0, 110, 112, 114, 116},
    {118, 120, 122, 124, 126, 0, 128, 130, 132, 134},
    {136, 138, 140, 142, 144, 0, 146, 148, 150, 152},
    {154, 156, 158, 160, 162, 0, 164, 166, 168, 170},
    {172, 174, 176, 178, 180, 0, 182, 184, 186, 188},
    {190, 192, 194, 196, 198, 200, 204, 206, 208, 210},
};

struct BusyCursor {
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

QFont arialBold(double points) {
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(points);
    font.setBold(true);
    return font;
}

} // namespace

Form4::Form4(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QStringLiteral("Reports"));
    setFont(arialBold(9));
    MakeFixedBorder(this, kDesignWidth, kDesignHeight);

    Label1 = new QLabel(QStringLiteral("Report Type:"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(TwipsRect(120, 180, 1065, 225));
    Combo1 = new QComboBox(this);
    Combo1->setObjectName(QStringLiteral("Combo1"));
    Combo1->setEditable(false);
    Combo1->setGeometry(TwipsRect(1320, 120, 3015, 345));
    NameAfterLabel(Label1, Combo1);

    auto makeButton = [this](const char* name, const QString& caption, int left) {
        auto* button = new QPushButton(caption, this);
        button->setObjectName(QLatin1String(name));
        button->setFont(arialBold(11.25));
        button->setGeometry(TwipsRect(left, 720, 2040, 405));
        return button;
    };
    PushButton1 = makeButton("PushButton1", QStringLiteral("Print Preview"), 120);
    PushButton2 = makeButton("PushButton2", QStringLiteral("Cancel"), 2280);
    // Enter previews the chosen report; Escape closes the window like Cancel.
    PushButton1->setDefault(true);
    setTabOrder(Combo1, PushButton1);
    setTabOrder(PushButton1, PushButton2);
    Combo1->setFocus();

    m_pointer = new PointerFeedback(this);
    m_pointer->watchButton(PushButton1);
    m_pointer->watchButton(PushButton2);

    connect(PushButton1, &QPushButton::clicked, this, &Form4::PushButton1_Click);
    connect(PushButton2, &QPushButton::clicked, this, &Form4::PushButton2_Click);
}

Form4::~Form4() = default;

void Form4::Form_Load() {
    ErrorTrap trap("Form4", "Form_Load");
    trap.run(100, [&] { SetFormColors(this); });
    trap.run(102, [&] { setWindowIcon(QApplication::windowIcon()); });
    const QString cursorFile = ProgramFolder() + QLatin1Char('/') + kHandCursorFile;
    if (trap.test(104, [&] { return FileExists(cursorFile); }))
        trap.run(106, [&] { m_pointer->loadCustom(cursorFile); });
    int line = 108;
    for (const ReportEntry& entry : ReportEntries()) {
        trap.run(line, [&] { Combo1->addItem(entry.name); });
        line += 2;
    }
    Combo1->setCurrentIndex(-1);
}

void Form4::PushButton1_Click() {
    ErrorTrap trap("Form4", "PushButton1_Click");
    const QVector<ReportEntry>& entries = ReportEntries();
    for (int i = 0; i < entries.size(); ++i) {
        if (trap.test(kPreviewLines[i].test,
                      [&] { return Combo1->currentText() == entries[i].name; }))
            preview(entries[i], kPreviewLines[i], trap);
    }
}

// Reads the rows, fills the layout and shows it. A failing step is reported and ends the
// preview: a report whose query failed has nothing to show.
void Form4::preview(const ReportEntry& entry, const Lines& lines, ErrorTrap& trap) {
    std::unique_ptr<Recordset> records;
    std::unique_ptr<ReportLayout> layout;
    ReportRows rows;
    // Reading and paginating a large report takes a moment: the busy pointer shows while the
    // statements that may take it run, and is gone before any box.
    const bool ready =
        trap.run(lines.create, [&] { records = std::make_unique<Recordset>(); }) &&
        trap.run(lines.open,
                 [&] {
                     BusyCursor busy;
                     records->open(entry.sql, SharedConnection(), Recordset::kStatic,
                                   Recordset::kReadOnly);
                 }) &&
        trap.run(
            lines.layout,
            [&] { layout = std::make_unique<ReportLayout>(MakeReportLayout(entry.layout)); }) &&
        trap.run(lines.source,
                 [&] {
                     BusyCursor busy;
                     rows.read(*records, layout->boundColumns());
                     rows.sortBy(ReportOrderColumn(entry));
                 }) &&
        (!lines.title ||
         trap.run(lines.title, [&] { layout->titleLabel().caption = entry.title; })) &&
        trap.run(lines.orientation, [&] { layout->landscape = true; });
    if (ready) {
        trap.run(lines.show, [&] {
            std::shared_ptr<ReportDocument> document;
            {
                BusyCursor busy;
                document = std::make_shared<ReportDocument>(*layout, std::move(rows));
            }
            ReportPreview window(document, this);
            CurrentPrompts().showModal(window);
        });
    }
    trap.run(lines.close, [&] {
        if (records)
            records->close();
    });
    trap.run(lines.release, [&] { layout.reset(); });
}

void Form4::PushButton2_Click() {
    ErrorTrap trap("Form4", "PushButton2_Click");
    trap.run(100, [&] { close(); });
}
