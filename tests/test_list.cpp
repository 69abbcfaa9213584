// The call list of the main window: what the rows show, sorting by a clicked header, and the
// two window layouts.
#include "app/main_window.h"
#include "data/date_text.h"
#include "data/failure.h"
#include "data/server_link.h"
#include "data/shared_connection.h"
#include "test_support.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLocale>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <memory>

namespace {

QString cell(const Form1& window, int row, int column) {
    const QAbstractItemModel* model = window.ListView1->model();
    return model->data(model->index(row, column), Qt::DisplayRole).toString();
}

QStringList rowTexts(const Form1& window, int row) {
    QStringList texts;
    for (int column = 0; column < window.ListView1->model()->columnCount(); ++column)
        texts << cell(window, row, column);
    return texts;
}

// The texts of one column from top to bottom.
QStringList columnTexts(const Form1& window, int column) {
    QStringList texts;
    for (int row = 0; row < window.ListView1->model()->rowCount(); ++row)
        texts << cell(window, row, column);
    return texts;
}

void clickHeader(Form1& window, int column) {
    QHeaderView* header = window.ListView1->header();
    const QPoint middle(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                        header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier, middle);
}

void clickRow(Form1& window, int row) {
    auto* list = window.ListView1;
    const QRect rect = list->visualRect(list->model()->index(row, 1));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
}

QString selectedId(const Form1& window) {
    const QModelIndexList rows = window.ListView1->selectionModel()->selectedRows();
    return rows.size() == 1 ? cell(window, rows.first().row(), 0) : QString();
}

void addPerson(const QString& table, const QString& first, const QString& last) {
    Exec("insert into " + table + " ([First Name],[Last Name]) values ('" + first + "','" + last +
         "')");
}

// One call with every value given as SQL text (quoted where needed, or NULL).
void addCall(const QString& title, const QString& assignedTo, const QString& openedBy,
             const QString& openedDate, const QString& status, const QString& category,
             const QString& priority, const QString& dueDate, const QString& resolvedBy,
             const QString& resolvedDate, const QString& caller) {
    Exec("insert into Calls (Title,[Assigned To],[Opened By],[Opened Date],Status,Category,"
         "Priority,Comments,[Due Date],[Resolved By],[Resolved Date],Caller,[Call Time]) "
         "values (" +
         title + "," + assignedTo + "," + openedBy + "," + openedDate + "," + status + "," +
         category + "," + priority + ",'A comment'," + dueDate + "," + resolvedBy + "," +
         resolvedDate + "," + caller + ",'2021-01-01')");
}

void addSimpleCall(const QString& title, const QString& status = "'Open'",
                   const QString& dueDate = "'2021-03-04'") {
    addCall("'" + title + "'", "NULL", "NULL", "'2021-01-01'", status, "'General'", "'Low'",
            dueDate, "NULL", "NULL", "NULL");
}

// Geometry helpers in twips, as the layout rules are written.
int twips(int pixels) {
    return pixels * 15;
}
int pixels(double twipsValue) {
    return int(std::lround(twipsValue / 15));
}

} // namespace

class TestCallList : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }
    void init() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void rowsShowTheFieldsOfEveryCall() {
        TestEnvironment env;
        ScriptedPrompts prompts;
        auto window = StartProgram();
        addPerson("Employees", "John", "Wilson");
        addPerson("Employees", "Daniel", "Carter");
        addPerson("Customers", "Hanna", "Simmons");
        addCall("'Printer jams'", "1", "2", "'3/4/2021'", "'In process'", "'Hardware'", "'High'",
                "'3/11/2021 2:30:15 PM'", "2", "'3/12/2021'", "1");
        addCall("'Nothing known'", "NULL", "NULL", "'3/5/2021'", "NULL", "NULL", "NULL", "NULL",
                "NULL", "NULL", "NULL");
        window->LoadCalls();

        QCOMPARE(window->ListView1->model()->rowCount(), 2);
        QCOMPARE(rowTexts(*window, 0),
                 QStringList({"1", "Printer jams", "Hanna Simmons", "John Wilson", "High",
                              "In process", "Hardware", "3/11/2021 2:30:15 PM", "3/4/2021",
                              "Daniel Carter", "3/12/2021", "Daniel Carter"}));
        // Null fields show as empty cells.
        QCOMPARE(rowTexts(*window, 1), QStringList({"2", "Nothing known", "", "", "", "", "", "",
                                                    "3/5/2021", "", "", ""}));
        QVERIFY(prompts.boxes.empty());
    }

    void datesShowAsDateText_data() {
        QTest::addColumn<QLocale>("locale");
        QTest::newRow("en_US") << QLocale(QLocale::English, QLocale::UnitedStates);
        QTest::newRow("en_GB") << QLocale(QLocale::English, QLocale::UnitedKingdom);
        QTest::newRow("de_DE") << QLocale(QLocale::German, QLocale::Germany);
        QTest::newRow("C") << QLocale::c();
    }

    void datesShowAsDateText() {
        QFETCH(QLocale, locale);
        QLocale::setDefault(locale);
        TestEnvironment env;
        auto window = StartProgram();
        addCall("'Dates'", "NULL", "NULL", "'2021-03-04'", "NULL", "NULL", "NULL",
                "'2071-11-30 09:05:00'", "NULL", "'1999-12-31 23:59:59'", "NULL");
        window->LoadCalls();
        const QDateTime due(QDate(2071, 11, 30), QTime(9, 5), Qt::UTC);
        const QDateTime resolved(QDate(1999, 12, 31), QTime(23, 59, 59), Qt::UTC);
        QCOMPARE(cell(*window, 0, 7), DateText::format(due));
        QCOMPARE(cell(*window, 0, 8), DateText::format(QDate(2021, 3, 4)));
        QCOMPARE(cell(*window, 0, 10), DateText::format(resolved));
        QVERIFY(cell(*window, 0, 7).contains("2071"));
        QVERIFY(cell(*window, 0, 10).contains("1999"));
    }

    // A server's list is read a few rows at a time: no call is lost or listed twice across the
    // chunks, dates read as dates in every chunk, and no transaction is left behind.
    void everyCallIsListedOnceAcrossChunks_data() {
        QTest::addColumn<int>("calls");
        QTest::newRow("last chunk full") << 4;
        QTest::newRow("last chunk short") << 5;
    }

    void everyCallIsListedOnceAcrossChunks() {
        QFETCH(int, calls);
        TestEnvironment env;
        struct Chunk {
            int before = ServerLink::chunkRows();
            ~Chunk() { ServerLink::setChunkRows(before); }
        } chunk;
        ServerLink::setChunkRows(2);
        auto window = StartProgram();
        QStringList ids;
        for (int i = 1; i <= calls; ++i) {
            addSimpleCall("Call", "'Open'", QStringLiteral("'2021-03-0%1'").arg(i));
            ids << QString::number(i);
        }
        // A rebuild reads on the window's connection, the fill at start-up on one of its own.
        for (int fill = 0; fill < 2; ++fill) {
            if (fill == 0) {
                window->LoadCalls();
            } else {
                window.reset();
                window = StartProgram();
            }
            QCOMPARE(columnTexts(*window, 0), ids);
            QCOMPARE(cell(*window, calls - 1, 7), DateText::format(QDate(2021, 3, calls)));
            QVERIFY(!SharedConnection().inTransaction());
        }
    }

    void aFailingRebuildLeavesTheListEmptyAndIsPassedOn() {
        TestEnvironment env;
        ScriptedPrompts prompts;
        auto window = StartProgram();
        addSimpleCall("One");
        window->LoadCalls();
        QCOMPARE(window->ListView1->model()->rowCount(), 1);
        SharedConnection().close();
        bool failed = false;
        try {
            window->LoadCalls();
        } catch (const Failure&) {
            failed = true;
        }
        QVERIFY(failed);
        QCOMPARE(window->ListView1->model()->rowCount(), 0);
        QCOMPARE(window->ListView1->model()->columnCount(), 12);
        QVERIFY(prompts.boxes.empty());
    }

    // The ID sorts by number and the dates by date, empty cells first; text keeps its order.
    void columnsSortByWhatTheyHold_data() {
        QTest::addColumn<int>("column");
        QTest::addColumn<QStringList>("values");
        QTest::addColumn<QStringList>("ascendingIds");
        QTest::newRow("ID") << 0 << QStringList(12, "")
                            << QStringList{"1", "2", "3", "4",  "5",  "6",
                                           "7", "8", "9", "10", "11", "12"};
        QTest::newRow("Due Date") << 7
                                  << QStringList{"'2021-09-30'", "'2021-10-01'", "NULL",
                                                 "'2022-03-01'", "'2021-10-01 14:30:00'"}
                                  << QStringList{"3", "1", "2", "5", "4"};
        QTest::newRow("Opened Date")
            << 8 << QStringList{"'2026-11-01'", "'2026-03-10'", "'2025-12-31'"}
            << QStringList{"3", "2", "1"};
        QTest::newRow("Resolved Time")
            << 10 << QStringList{"'2021-01-02 09:00:00'", "NULL", "'2021-01-02'", "'2020-12-31'"}
            << QStringList{"2", "4", "3", "1"};
        QTest::newRow("Title as text")
            << 1 << QStringList{"'Call 9'", "'Call 10'", "'call 1'"} << QStringList{"3", "2", "1"};
        // As the person's language sorts: accents beside their letter, capitals first among
        // texts that differ only in case.
        QTest::newRow("Title with accents")
            << 1 << QStringList{"'Zèbre'", "'Écran noir'", "'ecran'", "'Eclair'", "'apple'"}
            << QStringList{"5", "4", "3", "2", "1"};
        QTest::newRow("Title in capitals and small letters")
            << 1 << QStringList{"'b'", "'B'", "'a'", "'A'", "'Ä'"}
            << QStringList{"4", "3", "5", "2", "1"};
    }

    void columnsSortByWhatTheyHold() {
        QFETCH(int, column);
        QFETCH(QStringList, values);
        QFETCH(QStringList, ascendingIds);
        TestEnvironment env;
        auto window = StartProgram();
        for (const QString& value : values) {
            const QString date = "'2021-01-01'";
            addCall(column == 1 ? value : "'A call'", "NULL", "NULL", column == 8 ? value : date,
                    "'Open'", "'General'", "'Low'", column == 7 ? value : date, "NULL",
                    column == 10 ? value : "NULL", "NULL");
        }
        window->LoadCalls();
        clickHeader(*window, column);
        QCOMPARE(columnTexts(*window, 0), ascendingIds);
        clickHeader(*window, column);
        std::reverse(ascendingIds.begin(), ascendingIds.end());
        QCOMPARE(columnTexts(*window, 0), ascendingIds);
    }

    void theSameHeaderTogglesAndAnotherStartsAscending() {
        TestEnvironment env;
        auto window = StartProgram();
        addSimpleCall("banana", "'Waiting'");
        addSimpleCall("Apple", "'Closed'");
        addSimpleCall("cherry", "'Open'");
        addSimpleCall("apple pie", "'Assigned'");
        window->LoadCalls();
        const QStringList ascending{"Apple", "apple pie", "banana", "cherry"};
        QStringList descending = ascending;
        std::reverse(descending.begin(), descending.end());

        clickHeader(*window, 1);
        QCOMPARE(columnTexts(*window, 1), ascending);
        clickHeader(*window, 1);
        QCOMPARE(columnTexts(*window, 1), descending);
        clickHeader(*window, 1);
        QCOMPARE(columnTexts(*window, 1), ascending);
        clickHeader(*window, 1);
        QCOMPARE(columnTexts(*window, 1), descending);

        // Another header starts ascending, even after a descending sort.
        clickHeader(*window, 5);
        QCOMPARE(columnTexts(*window, 5), QStringList({"Assigned", "Closed", "Open", "Waiting"}));
        clickHeader(*window, 5);
        QCOMPARE(columnTexts(*window, 5), QStringList({"Waiting", "Open", "Closed", "Assigned"}));
        clickHeader(*window, 1);
        QCOMPARE(columnTexts(*window, 1), ascending);
    }

    void aSortedListStaysSortedAfterARebuild() {
        TestEnvironment env;
        auto window = StartProgram();
        addSimpleCall("m");
        addSimpleCall("c");
        addSimpleCall("x");
        window->LoadCalls();
        clickHeader(*window, 1);
        clickHeader(*window, 1);
        QCOMPARE(columnTexts(*window, 1), QStringList({"x", "m", "c"}));

        addSimpleCall("p");
        addSimpleCall("a");
        window->LoadCalls();
        QCOMPARE(columnTexts(*window, 1), QStringList({"x", "p", "m", "c", "a"}));
        Exec("delete from Calls where Title='m'");
        window->LoadCalls();
        QCOMPARE(columnTexts(*window, 1), QStringList({"x", "p", "c", "a"}));
        // The next click on the same header still toggles.
        clickHeader(*window, 1);
        QCOMPARE(columnTexts(*window, 1), QStringList({"a", "c", "p", "x"}));
    }

    void theSelectedCallStaysSelectedWhenSorted() {
        TestEnvironment env;
        auto window = StartProgram();
        for (const char* title : {"d", "b", "e", "a", "c"})
            addSimpleCall(QString::fromLatin1(title));
        window->LoadCalls();
        clickRow(*window, 2);
        QCOMPARE(selectedId(*window), QStringLiteral("3"));
        QCOMPARE(cell(*window, window->selectedRow(), 1), QStringLiteral("e"));

        clickHeader(*window, 1);
        QCOMPARE(selectedId(*window), QStringLiteral("3"));
        QCOMPARE(window->selectedRow(), 4);
        clickHeader(*window, 1);
        QCOMPARE(selectedId(*window), QStringLiteral("3"));
        QCOMPARE(window->selectedRow(), 0);
        clickHeader(*window, 0);
        QCOMPARE(selectedId(*window), QStringLiteral("3"));
        QCOMPARE(window->selectedRow(), 2);
        QCOMPARE(window->ListView1->currentIndex().row(), 2);
    }

    // The list takes the keys of a list of rows, whatever cell was clicked: Home and End go to
    // the first and last call, Left and Right scroll the columns and keep the call, typing finds
    // a call by the start of its ID, and Tab moves on to the buttons.
    void theListTakesTheKeysOfAList_data() {
        QTest::addColumn<QStringList>("keys");
        QTest::addColumn<QString>("selected");
        QTest::addColumn<bool>("scrolled");
        QTest::addColumn<bool>("listKeepsFocus");
        QTest::newRow("End") << QStringList{"End"} << "30" << false << true;
        QTest::newRow("End, then Home") << QStringList{"End", "Home"} << "1" << false << true;
        QTest::newRow("Down, Down") << QStringList{"Down", "Down"} << "5" << false << true;
        QTest::newRow("Right") << QStringList{"Right"} << "3" << true << true;
        QTest::newRow("Right, then Left") << QStringList{"Right", "Left"} << "3" << false << true;
        QTest::newRow("typing 2, 5") << QStringList{"2", "5"} << "25" << false << true;
        QTest::newRow("Tab") << QStringList{"Tab"} << "3" << false << false;
    }

    void theListTakesTheKeysOfAList() {
        QFETCH(QStringList, keys);
        QFETCH(QString, selected);
        QFETCH(bool, scrolled);
        QFETCH(bool, listKeepsFocus);
        TestEnvironment env;
        auto window = StartProgram();
        for (int i = 1; i <= 30; ++i)
            addSimpleCall(QStringLiteral("Call %1").arg(i));
        window->LoadCalls();
        QApplication::setActiveWindow(window.get());
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        clickRow(*window, 2);
        auto* list = window->ListView1;
        QVERIFY(list->hasFocus());
        for (const QString& key : keys)
            QTest::keyClick(QApplication::focusWidget(), QKeySequence(key)[0].key());
        QCOMPARE(selectedId(*window), selected);
        QCOMPARE(list->horizontalScrollBar()->value() > 0, scrolled);
        QCOMPARE(list->hasFocus(), listKeepsFocus);
    }

    void theDesignLayout() {
        TestEnvironment env;
        auto window = StartProgram();
        QCOMPARE(window->size(), QSize(800, 447));
        QCOMPARE(window->ListView1->geometry(), QRect(8, 8, 784, 365));
        const struct {
            QPushButton* button;
            const char* caption;
            int left, top;
        } buttons[] = {
            {window->PushButton2, "Add New Call", 120, 5685},
            {window->PushButton1, "Edit Selected Call", 4080, 5685},
            {window->PushButton4, "Load Sample/Example Data", 8040, 5685},
            {window->PushButton3, "Delete Selected Call", 120, 6195},
            {window->PushButton5, "Reports", 4080, 6195},
            {window->PushButton6, "Help", 8040, 6195},
        };
        for (const auto& expected : buttons) {
            QCOMPARE(expected.button->text(), QString::fromLatin1(expected.caption));
            QCOMPARE(expected.button->geometry(),
                     QRect(pixels(expected.left), pixels(expected.top), pixels(3840), pixels(405)));
        }
    }

    void maximizeAndRestoreLayouts() {
        TestEnvironment env;
        auto window = StartProgram();
        QVERIFY(!window->WasMaximized);

        window->showMaximized();
        QTRY_VERIFY(window->isMaximized());
        QTRY_VERIFY(window->width() > 800);
        // The formulas take the outer size, title bar and borders included.
        QVERIFY(window->frameGeometry().size() != window->size());
        const int width = twips(window->frameGeometry().width());
        const int height = twips(window->frameGeometry().height());
        auto* list = window->ListView1;
        QCOMPARE(list->pos(), QPoint(8, 8));
        QCOMPARE(list->width(), pixels(width - 330));
        QCOMPARE(list->height(), pixels(height - 2 * 405 - 315 - 120 - 465));
        QCOMPARE(window->PushButton2->x(), pixels(width / 2.0 - 1.5 * 3840 - 480));
        QCOMPARE(window->PushButton2->y(), pixels(twips(list->height()) + 105 + 120));
        auto rightOf = [](QPushButton* button) { return twips(button->x() + button->width()); };
        auto below = [](QPushButton* button) { return twips(button->y() + button->height()); };
        QCOMPARE(window->PushButton1->pos(),
                 QPoint(pixels(rightOf(window->PushButton2) + 120), window->PushButton2->y()));
        QCOMPARE(window->PushButton4->pos(),
                 QPoint(pixels(rightOf(window->PushButton1) + 120), window->PushButton2->y()));
        QCOMPARE(window->PushButton3->pos(),
                 QPoint(window->PushButton2->x(), pixels(below(window->PushButton2) + 105)));
        QCOMPARE(window->PushButton5->pos(),
                 QPoint(pixels(rightOf(window->PushButton3) + 120), window->PushButton3->y()));
        QCOMPARE(window->PushButton6->pos(),
                 QPoint(pixels(rightOf(window->PushButton5) + 120), window->PushButton3->y()));
        // Button sizes never change.
        for (QPushButton* button : window->findChildren<QPushButton*>())
            QCOMPARE(button->size(), QSize(256, 27));
        QVERIFY(window->WasMaximized);
        // The buttons lie inside the window, under the list.
        QVERIFY(window->PushButton6->geometry().right() < window->width());
        QVERIFY(window->PushButton3->geometry().bottom() < window->height());
        QVERIFY(window->PushButton2->y() > list->geometry().bottom());

        window->showNormal();
        QTRY_VERIFY(!window->isMaximized());
        QTRY_COMPARE(list->geometry(), QRect(8, 8, 784, 365));
        QCOMPARE(window->PushButton2->pos(), QPoint(8, 379));
        QCOMPARE(window->PushButton1->pos(), QPoint(8 + 256 + 8, 379));
        QCOMPARE(window->PushButton4->pos(), QPoint(8 + 2 * (256 + 8), 379));
        QCOMPARE(window->PushButton3->pos(), QPoint(8, 379 + 27 + 7));
        QCOMPARE(window->PushButton5->pos(), QPoint(8 + 256 + 8, 379 + 27 + 7));
        QCOMPARE(window->PushButton6->pos(), QPoint(8 + 2 * (256 + 8), 379 + 27 + 7));
        QVERIFY(window->WasMaximized);
        const QRect screen = window->screen()->geometry();
        QTRY_COMPARE(window->frameGeometry().topLeft(),
                     QPoint((screen.width() - window->frameGeometry().width()) / 2,
                            (screen.height() - window->frameGeometry().height()) / 2));

        // A later resize in the normal state repeats the restore layout.
        window->resize(1000, 600);
        QTRY_COMPARE(window->size(), QSize(1000, 600));
        QCOMPARE(list->geometry(), QRect(8, 8, 784, 365));
        QCOMPARE(window->PushButton2->pos(), QPoint(8, 379));
        QTRY_COMPARE(window->frameGeometry().topLeft(),
                     QPoint((screen.width() - window->frameGeometry().width()) / 2,
                            (screen.height() - window->frameGeometry().height()) / 2));
    }

    void aMaximizedStartLaysOutForTheWholeScreen() {
        TestEnvironment env;
        QVERIFY(QDir().mkpath(env.configHome() + "/Merrowfen"));
        QFile settings(env.configHome() + "/Merrowfen/Merrowfen.ini");
        QVERIFY(settings.open(QIODevice::WriteOnly));
        settings.write("[Quorvane]\nWindowState=2\n");
        settings.close();
        auto window = StartProgram();
        QTRY_VERIFY(window->isMaximized());
        QTRY_VERIFY(window->width() > 800);
        QVERIFY(window->WasMaximized);
        const int width = twips(window->frameGeometry().width());
        const int height = twips(window->frameGeometry().height());
        QTRY_COMPARE(window->ListView1->width(), pixels(width - 330));
        QCOMPARE(window->ListView1->height(), pixels(height - 2 * 405 - 315 - 120 - 465));
        QCOMPARE(window->PushButton2->pos(),
                 QPoint(pixels(width / 2.0 - 1.5 * 3840 - 480),
                        pixels(twips(window->ListView1->height()) + 105 + 120)));

        window->showNormal();
        QTRY_VERIFY(!window->isMaximized());
        QTRY_COMPARE(window->ListView1->geometry(), QRect(8, 8, 784, 365));
        QCOMPARE(window->PushButton2->pos(), QPoint(8, 379));
    }

    void aWindowNeverMaximizedKeepsItsDesignLayout() {
        TestEnvironment env;
        auto window = StartProgram();
        window->move(30, 40);
        window->resize(1200, 700);
        QTRY_COMPARE(window->size(), QSize(1200, 700));
        QCOMPARE(window->ListView1->geometry(), QRect(8, 8, 784, 365));
        QCOMPARE(window->PushButton2->geometry(), QRect(8, 379, 256, 27));
        QCOMPARE(window->PushButton6->geometry(), QRect(536, 413, 256, 27));
        QCOMPARE(window->pos(), QPoint(30, 40));
        QVERIFY(!window->WasMaximized);
        // The window never shrinks below its design size.
        window->resize(400, 200);
        QTRY_COMPARE(window->size(), QSize(800, 447));
        QVERIFY(window->rect().contains(window->PushButton6->geometry()));
    }

    void restoringAfterAMinimizedStartAppliesTheRestoreLayout() {
        TestEnvironment env;
        QFile settings(env.configHome() + "/Merrowfen/Merrowfen.ini");
        QVERIFY(QDir().mkpath(env.configHome() + "/Merrowfen"));
        QVERIFY(settings.open(QIODevice::WriteOnly));
        settings.write("[Quorvane]\nWindowState=1\n");
        settings.close();
        auto window = StartProgram();
        QVERIFY(window->isMinimized());
        QVERIFY(window->WasMaximized);
        window->showNormal();
        QTRY_VERIFY(!window->isMinimized());
        QCOMPARE(window->ListView1->geometry(), QRect(8, 8, 784, 365));
        const QRect screen = window->screen()->geometry();
        QTRY_COMPARE(window->frameGeometry().topLeft(),
                     QPoint((screen.width() - window->frameGeometry().width()) / 2,
                            (screen.height() - window->frameGeometry().height()) / 2));
    }
};

// The tests run on a screen larger than the window's design size, like a desktop's.
int main(int argc, char** argv) {
    QTemporaryDir folder;
    const QString config = folder.path() + "/screen.json";
    QFile file(config);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(R"({"screens": [{"name": "Desktop", "x": 0, "y": 0, "width": 1600,
                       "height": 1000, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
        file.close();
    }
    QByteArray platform = "offscreen:configfile=" + config.toUtf8();
    QByteArray programName = argv[0];
    QByteArray platformOption = "-platform";
    char* applicationArguments[] = {programName.data(), platformOption.data(), platform.data(),
                                    nullptr};
    int applicationArgumentCount = 3;
    QApplication application(applicationArgumentCount, applicationArguments);
    TestCallList test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_list.moc"
