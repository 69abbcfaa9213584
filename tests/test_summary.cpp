// The summary of the calls: what it counts, that it follows the calls as they change, and
// the page written to PDF and PNG, from the window and from the command line.
#include "app/command_line.h"
#include "app/live_refresh.h"
#include "app/main_window.h"
#include "data/connection.h"
#include "data/date_text.h"
#include "data/shared_connection.h"
#include "list/call_list_model.h"
#include "list/call_list_tools.h"
#include "summary/summary_page.h"
#include "summary/summary_window.h"
#include "test_support.h"

#include <QApplication>
#include <QBarCategoryAxis>
#include <QChartView>
#include <QFile>
#include <QFileDialog>
#include <QImage>
#include <QPointer>
#include <QProcess>
#include <QTableWidget>
#include <QTest>
#include <QValueAxis>
#include <cmath>

namespace {

// Monday of this week, and a day counted from it.
QDate monday() {
    const QDate today = QDate::currentDate();
    return today.addDays(1 - today.dayOfWeek());
}
QString day(int fromMonday) {
    return "'" + monday().addDays(fromMonday).toString("yyyy-MM-dd") + "'";
}
QString fromToday(int days) {
    return "'" + QDate::currentDate().addDays(days).toString("yyyy-MM-dd") + "'";
}

void addCall(const QString& status, const QString& priority, const QString& assigned,
             const QString& opened, const QString& due, const QString& resolved) {
    Exec("insert into Calls (Title,Status,Priority,[Assigned To],[Opened Date],[Due Date],"
         "[Resolved Date]) values ('c','" +
         status + "','" + priority + "'," + assigned + "," + opened + "," + due + "," + resolved +
         ")");
}

QStringList tableRows(const QTableWidget* table) {
    QStringList rows;
    for (int row = 0; row < table->rowCount(); ++row)
        rows << table->item(row, 0)->text() + "|" + table->item(row, 1)->text() + "|" +
                    table->item(row, 2)->text();
    return rows;
}

QString week(int weeksBack) {
    return "Week of " + DateText::format(monday().addDays(-7 * weeksBack));
}

} // namespace

class TestSummary : public QObject {
    Q_OBJECT
private slots:
    void init() {
        m_env = std::make_unique<TestEnvironment>();
        m_env->openSharedConnection();
        Exec("insert into Employees ([First Name],[Last Name]) values ('Ann','Lee')");
        Exec("insert into Employees ([First Name],[Last Name]) values ('Cy','Dee')");
        const QString ann = "(select min(ID) from Employees)";
        const QString cy = "(select max(ID) from Employees)";
        addCall("Open", "High", ann, day(-7), fromToday(-1), "NULL"); // overdue
        addCall("Open", "Low", ann, day(0), fromToday(5), "NULL");
        addCall("Waiting", "High", cy, day(-100), fromToday(-30), "NULL"); // overdue
        addCall("Waiting", "High", "NULL", day(0), fromToday(0), "NULL");  // due today
        addCall("Closed", "Low", ann, day(-14), day(0), day(-7));          // 7 days
        addCall("Closed", "Low", ann, day(-200), day(0), day(0));          // 200 days
        addCall("Closed", "Low", cy, day(-7), day(0), day(-5));            // 2 days
        addCall("Closed", "Low", cy, day(-400), day(0), day(-300));        // long ago
        // Opened on the first Monday shown, resolved the day before it (as an import may give).
        addCall("Closed", "Low", cy, day(-77), day(0), day(-78));
    }
    void cleanup() { m_env.reset(); }

    // Each figure of the summary, as its table lists it.
    void figures_data() {
        QTest::addColumn<QString>("row");
        QTest::addColumn<bool>("fourDays"); // one more call, resolved in four days
        QTest::newRow("open") << "All calls|Open|4" << false;
        QTest::newRow("overdue: open and due before today") << "All calls|Overdue|2" << false;
        QTest::newRow("median of the calls resolved in the weeks shown")
            << "All calls|Median time from opened to resolved|7 days" << false;
        QTest::newRow("by status") << "Open calls by status|Waiting|2" << false;
        QTest::newRow("by assigned employee")
            << "Open calls by assigned employee|Ann Lee|2" << false;
        QTest::newRow("not assigned") << "Open calls by assigned employee|(none)|1" << false;
        QTest::newRow("by priority") << "Open calls by priority|High|3" << false;
        QTest::newRow("opened this week") << "Opened per week|" + week(0) + "|2" << false;
        QTest::newRow("opened a week ago") << "Opened per week|" + week(1) + "|2" << false;
        QTest::newRow("opened two weeks ago") << "Opened per week|" + week(2) + "|1" << false;
        QTest::newRow("resolved a week ago") << "Resolved per week|" + week(1) + "|2" << false;
        QTest::newRow("resolved eleven weeks ago")
            << "Resolved per week|" + week(11) + "|0" << false;
        QTest::newRow("opened on the first day shown")
            << "Opened per week|" + week(11) + "|1" << false;
        QTest::newRow("as many calls: by name")
            << "Open calls by status|Open|2\nOpen calls by status|Waiting|2" << false;
        // With a fourth call resolved in the weeks shown the median falls between two calls.
        QTest::newRow("median of half a day")
            << "All calls|Median time from opened to resolved|5.5 days" << true;
    }
    void figures() {
        QFETCH(QString, row);
        QFETCH(bool, fourDays);
        if (fourDays)
            addCall("Closed", "Low", "NULL", day(-10), day(0), day(-6));
        auto window = StartProgram();
        QTest::keyClick(window.get(), Qt::Key_M, Qt::ControlModifier | Qt::ShiftModifier);
        SummaryWindow* summary = window->summaryWindow();
        QVERIFY(summary);
        const QString rows = tableRows(summary->table()).join('\n');
        QVERIFY2(('\n' + rows + '\n').contains('\n' + row + '\n'), qPrintable(rows));
    }

    // Escape closes the window from wherever the focus is in it; with Shift it stays open.
    void escapeCloses_data() {
        QTest::addColumn<int>("tab");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<bool>("closed");
        QTest::newRow("charts") << 0 << int(Qt::NoModifier) << true;
        QTest::newRow("table") << 1 << int(Qt::NoModifier) << true;
        QTest::newRow("Shift+Escape") << 1 << int(Qt::ShiftModifier) << false;
    }
    void escapeCloses() {
        QFETCH(int, tab);
        QFETCH(int, modifiers);
        QFETCH(bool, closed);
        auto window = StartProgram();
        window->openSummary();
        QPointer<SummaryWindow> summary = window->summaryWindow();
        QVERIFY(summary && summary->isVisible());
        QWidget* focus = tab ? static_cast<QWidget*>(summary->table()) : summary->page();
        QApplication::setActiveWindow(summary);
        QVERIFY(QTest::qWaitForWindowActive(summary));
        QTest::keyClick(focus, Qt::Key_Escape, Qt::KeyboardModifiers(modifiers));
        QCOMPARE(!summary || !summary->isVisible(), closed);
        // Closed, it gives the keyboard back to the main window.
        QTRY_COMPARE(QApplication::activeWindow(),
                     closed ? static_cast<QWidget*>(window.get()) : summary.data());
    }

    // The chart of assignees shows twelve bars at most: beyond that the last bar counts the rest.
    void assigneesChartFolds_data() {
        QTest::addColumn<int>("more"); // assignees with an open call, besides the three of init()
        QTest::addColumn<QString>("folded");
        QTest::newRow("twelve: each its own bar") << 9 << "";
        QTest::newRow("thirteen: two in one bar") << 10 << "2 others";
    }
    void assigneesChartFolds() {
        QFETCH(int, more);
        QFETCH(QString, folded);
        for (int i = 0; i < more; ++i) {
            Exec(QStringLiteral(
                     "insert into Employees ([First Name],[Last Name]) values ('E%1','X')")
                     .arg(i));
            addCall("Open", "Low", "(select max(ID) from Employees)", day(0), fromToday(5), "NULL");
        }
        auto window = StartProgram();
        window->openSummary();
        QBarCategoryAxis* names = nullptr;
        for (QChartView* view : window->summaryWindow()->findChildren<QChartView*>())
            if (view->chart()->title() == "Open calls by assigned employee")
                names = qobject_cast<QBarCategoryAxis*>(view->chart()->axes(Qt::Vertical).value(0));
        QVERIFY(names);
        QCOMPARE(names->count(), 12);
        QCOMPARE(names->categories().contains(folded), !folded.isEmpty());
    }

    // Every chart counts in whole numbers, whatever the largest count, none included.
    void axesCountInWholeNumbers_data() {
        QTest::addColumn<QString>("change");
        QTest::addColumn<int>("added"); // more open calls of status Open
        QTest::newRow("no call at all") << "delete from Calls" << 0;
        QTest::newRow("no call resolved") << "update Calls set [Resolved Date] = NULL" << 0;
        QTest::newRow("25 calls of one status") << "" << 23;
    }
    void axesCountInWholeNumbers() {
        QFETCH(QString, change);
        QFETCH(int, added);
        if (!change.isEmpty())
            Exec(change);
        for (int i = 0; i < added; ++i)
            addCall("Open", "High", "NULL", day(0), fromToday(5), "NULL");
        auto window = StartProgram();
        window->openSummary();
        const QList<QChartView*> views = window->summaryWindow()->findChildren<QChartView*>();
        QCOMPARE(views.size(), 4);
        for (const QChartView* view : views) {
            const auto* axis = qobject_cast<QValueAxis*>(view->chart()->axes().value(1));
            QVERIFY(axis);
            const double step = (axis->max() - axis->min()) / (axis->tickCount() - 1);
            QVERIFY2(step >= 1 && step == std::floor(step),
                     qPrintable(QStringLiteral("%1 to %2 in %3 marks")
                                    .arg(axis->min())
                                    .arg(axis->max())
                                    .arg(axis->tickCount())));
        }
    }

    // A call added (here, or at another desk on a server) is counted without asking.
    void followsTheCalls() {
        auto window = StartProgram();
        window->openSummary();
        SummaryWindow* summary = window->summaryWindow();
        auto other = m_env->openOtherDesk();
        other->execute("insert into Calls (Title,[Opened Date],[Due Date]) values ('new'," +
                       fromToday(0) + "," + fromToday(1) + ")");
        if (!window->liveRefresh() || !window->liveRefresh()->watching())
            window->LoadCalls();
        QTRY_VERIFY_WITH_TIMEOUT(tableRows(summary->table()).contains("All calls|Open|5"), 10000);
    }

    // The counts read indexes of their own: a file has them from its schema; a call log on a
    // server that lacks one gets it back when a desk connects.
    void countsHaveTheirIndexes() {
        if (!TestEnvironment::onServer()) {
            QCOMPARE(Count("select count(*) from sqlite_master where name in "
                           "('CallsOpen','CallsByOpenedDate','CallsByResolvedDate')"),
                     3);
            return;
        }
        const QString indexes = "select count(*) from pg_indexes where indexname in "
                                "('calls_open','calls_by_opened_date','calls_by_resolved_date')";
        QCOMPARE(Count(indexes), 3);
        Exec("drop index calls_open");
        QCOMPARE(Count(indexes), 2);
        m_env->openOtherDesk();
        QCOMPARE(Count(indexes), 3);
    }

    // The page goes to PDF and PNG from the window, and to PDF from the command line.
    void writesFiles() {
        auto window = StartProgram();
        window->openSummary();
        SummaryWindow* summary = window->summaryWindow();
        ScriptedPrompts prompts;
        const QString folder = m_env->dataHome();
        for (const char* name : {"/page.pdf", "/page.png"}) {
            prompts.onModal([&, name](QDialog& dialog) {
                static_cast<QFileDialog&>(dialog).selectFile(folder + name);
                dialog.accept();
            });
        }
        summary->exportPdf();
        summary->exportPng();
        QFile pdf(folder + "/page.pdf");
        QVERIFY(pdf.open(QIODevice::ReadOnly));
        QVERIFY(pdf.readAll().startsWith("%PDF"));
        QVERIFY(!QImage(folder + "/page.png").isNull());
        window.reset();
        ReleaseSharedConnection();
        QString output, errors;
        QTextStream out(&output), err(&errors);
        QCOMPARE(RunCommands({"quorvane", "--summary", folder + "/cli.pdf"}, out, err), 0);
        QFile cli(folder + "/cli.pdf");
        QVERIFY(cli.open(QIODevice::ReadOnly));
        QVERIFY(cli.readAll().startsWith("%PDF"));
        // The PDFs hold text, every count of the page included: not a picture of it.
        for (const char* name : {"/page.pdf", "/cli.pdf"}) {
            QProcess text;
            text.start("pdftotext", {folder + name, "-"});
            QVERIFY(text.waitForFinished(60000));
            const QString words = QString::fromUtf8(text.readAllStandardOutput());
            for (const char* expected :
                 {"Open calls: 4. Overdue: 2.", "Waiting", "Ann Lee", "High"})
                QVERIFY2(words.contains(expected), qPrintable(words));
        }
    }

private:
    std::unique_ptr<TestEnvironment> m_env;
};

QTEST_MAIN(TestSummary)
#include "test_summary.moc"
