// The reports: the chooser and its six entries, the rows each one previews, and a step that
// fails.
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

    // Each report orders its texts as the person's language does, on either engine: accents
    // beside their letter, capitals first among texts that differ only in case.
    void reportsSortTextsAsTheLanguageDoes_data() {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("column");
        QTest::addColumn<QStringList>("stored");
        QTest::addColumn<QStringList>("ordered");
        const QStringList titles{"Zèbre", "Écran noir", "ecran", "Avion", "avion"};
        const QStringList inOrder{"Avion", "avion", "ecran", "Écran noir", "Zèbre"};
        // A list value is there once, whatever its capitals.
        const QStringList values{"Zèbre", "Écran noir", "ecran", "Avion", "Öl"};
        const QStringList valuesInOrder{"Avion", "ecran", "Écran noir", "Öl", "Zèbre"};
        QTest::newRow("open calls by title") << "Open Calls"
                                             << "Title" << titles << inOrder;
        QTest::newRow("call details by title") << "Call Details"
                                               << "Title" << titles << inOrder;
        QTest::newRow("by category") << "Calls by Categories"
                                     << "Category" << values << valuesInOrder;
        QTest::newRow("by status") << "Calls by Status"
                                   << "Status" << values << valuesInOrder;
        QTest::newRow("one call") << "Open Calls"
                                  << "Title" << QStringList{"É"} << QStringList{"É"};
    }
    void reportsSortTextsAsTheLanguageDoes() {
        QFETCH(QString, entry);
        QFETCH(QString, column);
        QFETCH(QStringList, stored);
        QFETCH(QStringList, ordered);
        TestEnvironment env;
        env.openSharedConnection();
        for (const QString& text : stored) {
            const QString value = column == "Title" ? QString("NULL") : "'" + text + "'";
            if (column != "Title") {
                Exec("insert into Status values (" + value + ")");
                Exec("insert into Categories values (" + value + ")");
            }
            Exec("insert into Calls (Title,Status,Category,[Opened Date],[Due Date]) values ('" +
                 text + "'," + value + "," + value + ",'2021-03-01','2021-03-05')");
        }
        const auto document = OpenReport(*FindReportEntry(entry));
        const ReportRows& rows = document->rows();
        QStringList shown;
        for (int row = 0; row < rows.rowCount(); ++row)
            shown << rows.text(row, rows.columnIndex(column));
        QCOMPARE(shown, ordered);
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
};

QTEST_MAIN(TestReports)
#include "test_reports.moc"
