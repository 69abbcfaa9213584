// The pages of a report: cells cut to their boxes, page breaks, long comments, the PDF and the
// preview window's keys.
#include "app/main_window.h"
#include "data/recordset.h"
#include "data/shared_connection.h"
#include "reports/report_catalog.h"
#include "reports/report_chooser.h"
#include "reports/report_document.h"
#include "reports/report_output.h"
#include "reports/report_page_view.h"
#include "reports/report_preview.h"
#include "reports_fixture.h"
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

class TestReportPages : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

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

QTEST_MAIN(TestReportPages)
#include "test_report_pages.moc"
