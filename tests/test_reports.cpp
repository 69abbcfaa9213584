// The reports: the chooser and its six entries, the pages the renderer makes from the rows,
// the preview window and the PDF.
#include "app/main_window.h"
#include "data/recordset.h"
#include "data/shared_connection.h"
#include "reports/report_catalog.h"
#include "reports/report_chooser.h"
#include "reports/report_document.h"
#include "reports/report_output.h"
#include "reports/report_page_view.h"
#include "reports/report_preview.h"
#include "test_support.h"
#include "ui/twips.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QFontMetricsF>
#include <QLabel>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTest>
#include <algorithm>

namespace {

// Three people, three open calls whose order differs by every sort key, and two closed calls.
// Call 2 has no due date.
void addCalls() {
    Exec("insert into Employees ([First Name],[Last Name]) values ('Ada','Byron')");
    Exec("insert into Employees ([First Name],[Last Name]) values ('Bea','Ng')");
    Exec("insert into Employees ([First Name],[Last Name]) values ('Cyd','Moss')");
    const char* const calls[] = {
        "'Printer jams',3,1,'2021-03-01','Open','Software','High','Toner low','2021-03-05',NULL",
        "'Mail is slow',1,2,'2021-03-02','Waiting','Network','Low',NULL,NULL,NULL",
        "'Screen flickers',2,3,'2021-03-03','In Progress','Hardware','Normal','Cable?',"
        "'2021-03-09',NULL",
        "'VPN drops',1,1,'2021-02-01','Closed','Network','Low',NULL,'2021-02-02','2021-02-03'",
        "'Backup failed',2,2,'2021-02-04','Closed','Software','High',NULL,NULL,'2021-02-05'",
    };
    for (const char* values : calls)
        Exec(QStringLiteral("insert into Calls (Title,[Assigned To],[Opened By],[Opened Date],"
                            "Status,Category,Priority,Comments,[Due Date],[Resolved Date]) "
                            "values (%1)")
                 .arg(QLatin1String(values)));
}

// `count` open calls titled "Call 0001", "Call 0002", ...
void addNumberedCalls(int count) {
    if (count <= 0)
        return;
    Exec(QStringLiteral("with recursive n(i) as (select 1 union all select i + 1 from n where "
                        "i < %1) insert into Calls (Title,[Opened Date],[Due Date]) select "
                        "'Call ' || substr('000' || i, -4), '2021-01-01', '2021-01-02' from n")
             .arg(count));
}

const PageText* find(const ReportPage& page, const QString& control) {
    for (const PageText& text : page.texts) {
        if (text.control == control)
            return &text;
    }
    return nullptr;
}

// The texts of the text boxes of every detail band on the page, in reading order.
QList<QStringList> detailRows(const ReportPage& page) {
    QList<QStringList> rows;
    for (const PlacedBand& band : page.bands) {
        if (band.row < 0)
            continue;
        QVector<PageText> inside;
        for (const PageText& text : page.texts) {
            if (text.control.startsWith("Text") && text.box.top() >= band.top &&
                text.box.top() < band.top + band.height)
                inside << text;
        }
        std::stable_sort(inside.begin(), inside.end(), [](const PageText& a, const PageText& b) {
            return std::make_pair(a.box.top(), a.box.left()) <
                   std::make_pair(b.box.top(), b.box.left());
        });
        QStringList cells;
        for (const PageText& text : inside)
            cells << text.text;
        rows << cells;
    }
    return rows;
}

// The texts of one control on every page, in order.
QStringList allTexts(const ReportDocument& document, const QString& control) {
    QStringList texts;
    for (int i = 0; i < document.pageCount(); ++i) {
        for (const PageText& text : document.page(i).texts) {
            if (text.control == control)
                texts << text.text;
        }
    }
    return texts;
}

std::unique_ptr<ReportDocument> openReport(const QString& name) {
    return OpenReport(*FindReportEntry(name));
}

// What the preview showed when Print Preview was pressed for `entry` in the chooser.
struct Shown {
    int previews = 0;
    QString caption;
    QString layout;
    QSize size;
    std::shared_ptr<ReportPage> firstPage;
};

Shown pressPrintPreview(ScriptedPrompts& prompts, const QString& entry) {
    Shown shown;
    Form4 chooser;
    chooser.Form_Load();
    chooser.Combo1->setCurrentIndex(chooser.Combo1->findText(entry));
    prompts.onModal([&](QDialog& window) {
        auto* preview = qobject_cast<ReportPreview*>(&window);
        QVERIFY(preview);
        ++shown.previews;
        shown.caption = preview->windowTitle();
        shown.layout = preview->document().layout().name;
        shown.size = preview->size();
        shown.firstPage = std::make_shared<ReportPage>(preview->document().page(0));
    });
    QTest::mouseClick(chooser.PushButton1, Qt::LeftButton);
    return shown;
}

QString run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(60000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

} // namespace

class TestReports : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

    void theReportsButtonOpensTheChooser() {
        TestEnvironment env;
        ScriptedPrompts prompts;
        auto window = StartProgram();
        QStringList entries;
        QString caption;
        QSize size;
        int chosen = 0;
        prompts.onModal([&](QDialog& dialog) {
            auto* chooser = qobject_cast<Form4*>(&dialog);
            QVERIFY(chooser);
            caption = chooser->windowTitle();
            size = chooser->size();
            for (int i = 0; i < chooser->Combo1->count(); ++i)
                entries << chooser->Combo1->itemText(i);
            chosen = chooser->Combo1->currentIndex();
            // Print Preview with nothing chosen does nothing and asks nothing.
            QTest::mouseClick(chooser->PushButton1, Qt::LeftButton);
            QTest::mouseClick(chooser->PushButton2, Qt::LeftButton);
        });
        QVERIFY(window->PushButton5->isEnabled());
        QTest::mouseClick(window->PushButton5, Qt::LeftButton);
        QCOMPARE(prompts.modalCount, 1);
        QCOMPARE(caption, QStringLiteral("Reports"));
        QCOMPARE(size, QSize(TwipsToPixels(4470), TwipsToPixels(1320)));
        QCOMPARE(entries, QStringList({"Open Calls", "Calls by Categories", "Calls by Status",
                                       "Calls by Assigned To", "Call Details", "Closed Calls"}));
        QCOMPARE(chosen, -1);
        QVERIFY(prompts.boxes.empty());
    }

    void eachEntryPreviewsItsRows_data() {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("layout");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("headings");
        QTest::addColumn<QString>("columns");
        const QString openCallColumns = "ID|Title|Assigned To Name|Priority|Status|Category|"
                                        "Due Date|Opened By Name|Opened Date";
        QTest::newRow("open") << "Open Calls"
                              << "select * from [Open Calls] order by Title"
                              << "rptOpenCalls"
                              << "Open Calls"
                              << "Open Calls"
                              << "ID|Title|Assigned To|Priority|Status|Category|Due Date|"
                                 "Opened By|Opened Date"
                              << openCallColumns;
        QTest::newRow("categories")
            << "Calls by Categories"
            << "select * from [Open Calls] order by Category"
            << "rptCallsByCategory"
            << "Calls By Category"
            << "Calls By Category"
            << "Category|Assigned To|Title|Status|Due Date|Priority|Opened By|Opened Date"
            << "Category|Assigned To Name|Title|Status|Due Date|Priority|Opened By Name|"
               "Opened Date";
        QTest::newRow("status")
            << "Calls by Status"
            << "select * from [Open Calls] order by Status"
            << "rptCallsByStatus"
            << "Calls By Status"
            << "Calls By Status"
            << "Status|Due Date|Title|Assigned To|Priority|Category|Opened By|Opened Date"
            << "Status|Due Date|Title|Assigned To Name|Priority|Category|Opened By Name|"
               "Opened Date";
        QTest::newRow("assigned")
            << "Calls by Assigned To"
            << "select * from [Open Calls] order by [Assigned To Name]"
            << "rptCallsByAssigned"
            << "Calls By Assigned To"
            << "Calls By Assigned To"
            << "Assigned To|Status|Title|Due Date|Priority|Category|Opened By|Opened Date"
            << "Assigned To Name|Status|Title|Due Date|Priority|Category|Opened By Name|"
               "Opened Date";
        QTest::newRow("details") << "Call Details"
                                 << "select * from [Open Calls] order by Title"
                                 << "rptCallDetails"
                                 << "Calls Details"
                                 << "Call Details"
                                 << ""
                                 << "ID|Title|Assigned To Name|Status|Opened By Name|Category|"
                                    "Opened Date|Priority|Due Date|Comments";
        QTest::newRow("closed") << "Closed Calls"
                                << "select * from [Closed Calls] order by Title"
                                << "rptOpenCalls"
                                << "Closed Calls"
                                << "Open Calls"
                                << "ID|Title|Assigned To|Priority|Status|Category|Due Date|"
                                   "Opened By|Opened Date"
                                << openCallColumns;
    }

    void eachEntryPreviewsItsRows() {
        QFETCH(QString, entry);
        QFETCH(QString, sql);
        QFETCH(QString, layout);
        QFETCH(QString, title);
        QFETCH(QString, caption);
        QFETCH(QString, headings);
        QFETCH(QString, columns);
        TestEnvironment env;
        env.openSharedConnection();
        addCalls();
        ScriptedPrompts prompts;

        const Shown shown = pressPrintPreview(prompts, entry);
        QCOMPARE(shown.previews, 1);
        QVERIFY(prompts.boxes.empty());
        QCOMPARE(shown.caption, caption);
        QCOMPARE(shown.layout, layout);
        QCOMPARE(shown.size, QSize(TwipsToPixels(15240), TwipsToPixels(11010)));
        const ReportPage& page = *shown.firstPage;
        QCOMPARE(find(page, "Label1")->text, title);
        QStringList shownHeadings;
        for (const PageText& text : page.texts) {
            if (text.control.startsWith("Label") && page.bands[1].height > 0 &&
                text.box.top() == page.bands[1].top)
                shownHeadings << text.text;
        }
        QCOMPARE(shownHeadings.join('|'), headings);

        // The rows of the SQL text, in its order, one detail band each, columns left to right.
        QList<QStringList> expected;
        Recordset records;
        records.open(sql, SharedConnection());
        for (; !records.eof(); records.moveNext()) {
            QStringList cells;
            for (const QString& column : columns.split('|'))
                cells << records.field(column).joined();
            expected << cells;
        }
        QCOMPARE(expected.size(), entry == "Closed Calls" ? 2 : 3);
        QCOMPARE(detailRows(page), expected);
    }

    void aFailingStepOpensNoPreview_data() {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("damage");
        QTest::addColumn<int>("line");
        QTest::newRow("query fails") << "Open Calls"
                                     << "drop view [Open Calls]" << 104;
        QTest::newRow("column missing") << "Call Details"
                                        << "drop view [Open Calls]; create view [Open Calls] as "
                                           "select ID, Title from Calls"
                                        << 180;
        QTest::newRow("closed calls") << "Closed Calls"
                                      << "drop view [Closed Calls]" << 194;
    }

    void aFailingStepOpensNoPreview() {
        QFETCH(QString, entry);
        QFETCH(QString, damage);
        QFETCH(int, line);
        TestEnvironment env;
        env.openSharedConnection();
        for (const QString& statement : damage.split("; "))
            Exec(statement);
        ScriptedPrompts prompts;
        const Shown shown = pressPrintPreview(prompts, entry);
        QCOMPARE(shown.previews, 0);
        QCOMPARE(prompts.modalCount, 0);
        QCOMPARE(prompts.errorReports().size(), size_t(1));
        QVERIFY(prompts.errorReports()[0].text.contains(
            QStringLiteral("in Quorvane2021/08/31.Form4.PushButton1_Click at line %1\r\r")
                .arg(line)));
    }

    void cellsAreCutToTheirBoxes() {
        TestEnvironment env;
        env.openSharedConnection();
        addCalls();
        const QString longTitle = QString("Everything stopped working ").repeated(12);
        Exec("update Calls set Title = '" + longTitle + "' where ID = 1");
        Exec(QString("update Calls set Category = replace(printf('%.*c', 100000, 'x'), 'x', "
                     "'\u03a9') where ID = 1"));
        const auto document = openReport("Open Calls");
        const ReportPage page = document->page(0);
        const QList<QStringList> rows = detailRows(page);
        QCOMPARE(rows.size(), 3);
        // The long title: cut with an ellipsis inside its column; its neighbours keep theirs.
        const QStringList& first = rows[0];
        QCOMPARE(first[0], QStringLiteral("1"));
        QVERIFY(first[1].endsWith(QChar(0x2026)));
        QVERIFY(longTitle.startsWith(first[1].chopped(1)));
        QCOMPARE(first[2], QStringLiteral("Cyd Moss"));
        QVERIFY(first[5].startsWith(QString(QChar(0x03a9)).repeated(3)));
        QVERIFY(first[5].endsWith(QChar(0x2026)));
        for (const PageText& text : page.texts) {
            const QFontMetricsF metrics(document->font(text.font));
            QVERIFY2(metrics.horizontalAdvance(text.text) <=
                         text.box.width() - 2 * ReportDocument::kTextPadding,
                     qPrintable(text.text));
        }
        // Call 2 has no due date: an empty cell.
        QCOMPARE(rows[1][1], QStringLiteral("Mail is slow"));
        QCOMPARE(rows[1][6], QString());
    }

    void pagesBreakBetweenRows_data() {
        QTest::addColumn<int>("extra"); // rows beyond one full first page
        QTest::addColumn<int>("pages"); // expected page count; 0: not checked
        QTest::newRow("no rows") << -1 << 1;
        QTest::newRow("one full page") << 0 << 1;
        QTest::newRow("one row more") << 1 << 2;
        QTest::newRow("many pages") << 100 << 0;
    }

    void pagesBreakBetweenRows() {
        QFETCH(int, extra);
        QFETCH(int, pages);
        TestEnvironment env;
        env.openSharedConnection();
        addNumberedCalls(80);
        const int perPage = detailRows(openReport("Open Calls")->page(0)).size();
        QVERIFY(perPage > 5 && perPage < 80);
        Exec("delete from Calls");
        const int rows = extra < 0 ? 0 : perPage + extra;
        addNumberedCalls(rows);

        const auto document = openReport("Open Calls");
        if (pages)
            QCOMPARE(document->pageCount(), pages);
        const int bottom = document->paperSize().height() - 1440;
        QStringList titles;
        for (int i = 0; i < document->pageCount(); ++i) {
            const ReportPage page = document->page(i);
            QStringList bands;
            for (const PlacedBand& band : page.bands) {
                bands << band.name;
                QVERIFY(band.top + band.height <= bottom);
            }
            QCOMPARE(bands.count("Section4"), i == 0 ? 1 : 0);
            QCOMPARE(bands.count("Section2"), 1);
            QCOMPARE(bands.count("Section3"), 1);
            QVERIFY(bands.count("Section5") == 0 || i == document->pageCount() - 1);
            QCOMPARE(find(page, "Label3")->text, QStringLiteral("Title"));
            for (const QStringList& row : detailRows(page))
                titles << row[1];
        }
        QCOMPARE(titles.size(), rows);
        QVERIFY(std::is_sorted(titles.begin(), titles.end()));
    }

    void aLongCommentContinuesOnTheNextPages() {
        TestEnvironment env;
        env.openSharedConnection();
        addCalls();
        QStringList lines;
        for (int i = 1; i <= 150; ++i)
            lines << QStringLiteral("Step %1 of the repair.").arg(i);
        Exec("update Calls set Comments = '" + lines.join("\r\n") + "' where ID = 1");

        const auto document = openReport("Call Details");
        // Mail is slow, Printer jams (the long comment), Screen flickers.
        QCOMPARE(allTexts(*document, "Text2"),
                 QStringList({"Mail is slow", "Printer jams", "Screen flickers"}));
        int startPage = -1, endPage = -1;
        for (int i = 0; i < document->pageCount(); ++i) {
            for (const PageText& text : document->page(i).texts) {
                if (text.text == "Printer jams")
                    startPage = i;
                if (text.text == lines.last())
                    endPage = i;
            }
        }
        // The block does not fit under the first call: it starts on a page of its own and its
        // comment runs on over the following pages, line by line.
        QCOMPARE(startPage, 1);
        QVERIFY(endPage >= startPage + 2);
        QCOMPARE(allTexts(*document, "Text10"),
                 QStringList({QString()}) + lines + QStringList({"Cable?"}));
        const int bottom = document->paperSize().height() - 1440;
        for (int i = 0; i < document->pageCount(); ++i) {
            for (const PageText& text : document->page(i).texts)
                QVERIFY(text.box.bottom() < bottom);
        }
    }

    void thePdfHasThePagesAndTheirText() {
        TestEnvironment env;
        env.openSharedConnection();
        addNumberedCalls(60);
        const QString path = env.dataHome() + "/open calls.pdf";
        QVERIFY(WriteNamedReportPdf("Open Calls", path));
        const int pages = openReport("Open Calls")->pageCount();
        QVERIFY(pages >= 2);
        QVERIFY(run("pdfinfo", {path})
                    .contains(QRegularExpression(QStringLiteral("Pages:\\s+%1\\n").arg(pages))));
        const QString text = run("pdftotext", {"-layout", path, "-"});
        QVERIFY(text.contains("Open Calls"));
        QCOMPARE(text.count("Opened Date"), pages);
        QVERIFY(text.contains("Call 0001"));
        QVERIFY(text.contains("Call 0060"));

        // Printing pages 2 to 3, two copies, on a printer that writes PDF.
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(env.dataHome() + "/printed.pdf");
        printer.setPrintRange(QPrinter::PageRange);
        printer.setFromTo(2, 3);
        printer.setCopyCount(2);
        QVERIFY(PrintReport(*openReport("Open Calls"), printer));
        const QString printed = run("pdftotext", {env.dataHome() + "/printed.pdf", "-"});
        QCOMPARE(printed.count("Opened Date"), 4);
        QVERIFY(!printed.contains("Call 0001"));

        // Stopped after the first page: the earlier file stays as it was.
        QFile written(path);
        QVERIFY(written.open(QIODevice::ReadOnly));
        const QByteArray complete = written.readAll();
        written.close();
        int asked = 0;
        QVERIFY(!WriteNamedReportPdf("Call Details", path, [&](int done, int total) {
            ++asked;
            return done < 1 && total > 0;
        }));
        QCOMPARE(asked, 1);
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(written.readAll(), complete);

        // A folder that is not there: a clear message, nothing written.
        ScriptedPrompts prompts;
        ReportPreview preview(openReport("Closed Calls"));
        QVERIFY(!preview.exportPdfTo(env.dataHome() + "/missing/report.pdf"));
        QCOMPARE(prompts.boxes.size(), size_t(1));
        QVERIFY(prompts.boxes[0].text.contains("missing/report.pdf"));
        // A finished export says where the file is.
        prompts.clear();
        QVERIFY(preview.exportPdfTo(env.dataHome() + "/report.pdf"));
        QVERIFY(QFileInfo(env.dataHome() + "/report.pdf").size() > 0);
        QCOMPARE(prompts.texts(),
                 QStringList({"The report was exported to:\r\n\r\n" +
                              QDir::toNativeSeparators(env.dataHome()) + "/report.pdf"}));
    }

    void thePreviewPagesAndZoomsFromTheKeyboard() {
        TestEnvironment env;
        env.openSharedConnection();
        addNumberedCalls(120);
        ReportPreview preview(openReport("Open Calls"));
        preview.show();
        QVERIFY(QTest::qWaitForWindowExposed(&preview));
        const int last = preview.document().pageCount() - 1;
        QVERIFY(last >= 3);
        QWidget* view = preview.view();
        const std::pair<Qt::Key, int> steps[] = {{Qt::Key_PageDown, 1}, {Qt::Key_PageDown, 2},
                                                 {Qt::Key_End, last},   {Qt::Key_PageUp, last - 1},
                                                 {Qt::Key_Home, 0},     {Qt::Key_PageUp, 0}};
        for (const auto& [key, page] : steps) {
            QTest::keyClick(view, key);
            QCOMPARE(preview.currentPage(), page);
            QCOMPARE(preview.pageNumber->value(), page + 1);
        }
        QCOMPARE(preview.pageTotal->text().trimmed(), QStringLiteral("of %1").arg(last + 1));
        // Only the pages looked at were made.
        QTest::qWait(50);
        QVERIFY(preview.view()->pagesMade() <= 6);

        const double before = preview.view()->zoom();
        QWheelEvent wheel(QPointF(50, 50), view->mapToGlobal(QPointF(50, 50)), QPoint(),
                          QPoint(0, 120), Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase,
                          false);
        QApplication::sendEvent(preview.view()->viewport(), &wheel);
        QVERIFY(preview.view()->zoom() > before);
        QTest::keyClick(view, Qt::Key_Minus, Qt::ControlModifier);
        QVERIFY(preview.view()->zoom() < before + 1e-9);
        // Ctrl with "+" zooms in with or without Shift, and so does Ctrl with "=".
        const std::pair<Qt::Key, Qt::KeyboardModifiers> zoomingIn[] = {
            {Qt::Key_Plus, Qt::ControlModifier},
            {Qt::Key_Plus, Qt::ControlModifier | Qt::ShiftModifier},
            {Qt::Key_Equal, Qt::ControlModifier},
            {Qt::Key_Plus, Qt::ControlModifier | Qt::KeypadModifier}};
        for (const auto& [key, modifiers] : zoomingIn) {
            const double was = preview.view()->zoom();
            QTest::keyClick(view, key, modifiers);
            QVERIFY2(preview.view()->zoom() > was,
                     qPrintable(QKeySequence(key | modifiers).toString()));
        }

        QTest::keyClick(view, Qt::Key_Escape);
        QVERIFY(!preview.isVisible());
    }
};

QTEST_MAIN(TestReports)
#include "test_reports.moc"
