// The call list's tools: finding as you type, overdue calls, the context menu, copying and
// exporting the listed rows.
#include "app/main_window.h"
#include "csv_reader.h"
#include "data/shared_connection.h"
#include "list/call_list_model.h"
#include "list/call_list_tools.h"
#include "list/find_bar.h"
#include "test_support.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <QTreeView>

namespace {

QString day(int offset) {
    return QDate::currentDate().addDays(offset).toString("yyyy-MM-dd");
}

// Calls: title, caller, opener, due date offset from today (or none), resolved or not.
void addCalls() {
    Exec("insert into Customers ([First Name],[Last Name]) values ('Jürgen','Müller')");
    Exec("insert into Customers ([First Name],[Last Name]) values ('Ann','Lee')");
    Exec("insert into Employees ([First Name],[Last Name]) values ('Zoé','Quist')");
    Exec("insert into Employees ([First Name],[Last Name]) values ('Bob','Stone')");
    const struct {
        const char* title;
        int caller, opener;
        QString due, resolved;
        const char* comments;
    } calls[] = {
        {"Printer jams", 1, 2, "'" + day(-1) + "'", "NULL", "Paper \"A4\"\tstuck"},
        {"Fax\tbroken \"again\"", 2, 2, "'" + day(0) + "'", "NULL", ""},
        {"Screen flickers", 2, 1, "'" + day(-5) + "'", "'" + day(-2) + "'", "Replaced the cable"},
        {"Mail bounces", 1, 2, "NULL", "NULL", "no due date"},
        {"Printer toner", 2, 2, "'" + day(3) + "'", "NULL", ""},
    };
    for (const auto& call : calls)
        Exec(QString("insert into Calls (Title,Caller,[Assigned To],[Opened By],Comments,"
                     "[Opened Date],[Due Date],[Resolved Date]) values ('%1',%2,2,%3,'%4',"
                     "'2024-01-01',%5,%6)")
                 .arg(QString(call.title).replace("'", "''"))
                 .arg(call.caller)
                 .arg(call.opener)
                 .arg(call.comments, call.due, call.resolved));
}

QStringList titles(const Form1& window) {
    QStringList list;
    for (int row = 0; row < window.callList()->rowCount(); ++row)
        list << window.callList()->text(row, 1);
    return list;
}

int rowOf(const Form1& window, const QString& title) {
    return titles(window).indexOf(title);
}

void clickRow(Form1& window, int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    const QRect rect = window.ListView1->visualRect(window.callList()->index(row, 1));
    QTest::mouseClick(window.ListView1->viewport(), Qt::LeftButton, modifiers, rect.center());
}

void find(Form1& window, const QString& text) {
    QApplication::setActiveWindow(&window);
    QTest::keyClick(&window, Qt::Key_F, Qt::ControlModifier);
    FindBar* bar = window.tools()->findBar();
    bar->FindText->clear();
    QTest::keyClicks(bar->FindText, text);
}

QString selectedTitle(const Form1& window) {
    const int row = window.selectedRow();
    return row < 0 ? QString() : window.callList()->text(row, 1);
}

} // namespace

class TestFind : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }
    void init() {
        m_env = std::make_unique<TestEnvironment>();
        m_env->installDatabase();
        m_env->openSharedConnection();
        addCalls();
        m_window = StartProgram();
    }
    void cleanup() {
        m_window.reset();
        m_env.reset();
    }

    void findsAsYouType_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("openOnly");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("case") << "PRINTER" << false << QStringList{"Printer jams", "Printer toner"};
        QTest::newRow("accents ignored")
            << "muller" << false << QStringList{"Printer jams", "Mail bounces"};
        QTest::newRow("accents typed") << "Zoe QUIST" << false << QStringList{"Screen flickers"};
        QTest::newRow("column hidden by width")
            << "Quist" << false << QStringList{"Screen flickers"};
        QTest::newRow("quote and tab")
            << "\"again\"" << false << QStringList{"Fax\tbroken \"again\""};
        QTest::newRow("nothing") << "no such call" << false << QStringList{};
        QTest::newRow("open calls only") << "" << true
                                         << QStringList{"Printer jams", "Fax\tbroken \"again\"",
                                                        "Mail bounces", "Printer toner"};
        QTest::newRow("open and text") << "screen" << true << QStringList{};
        QTest::newRow("comments only") << "CABL" << false << QStringList{"Screen flickers"};
        QTest::newRow("every word, each anywhere")
            << "printer a4" << false << QStringList{"Printer jams"};
        QTest::newRow("one word missing") << "printer cable" << false << QStringList{};
        // The engine's wildcards are plain characters: none of these is in a call.
        QTest::newRow("percent") << "a%4" << false << QStringList{};
        QTest::newRow("underscore") << "p_per" << false << QStringList{};
        QTest::newRow("short word with a percent") << "4%" << false << QStringList{};
        QTest::newRow("quote, backslash, bracket and star") << "'\\[*" << false << QStringList{};
        // A call's whole ID, and one digit more than it has.
        QTest::newRow("whole ID") << "5 toner" << false << QStringList{"Printer toner"};
        QTest::newRow("one digit past the ID") << "55 toner" << false << QStringList{};
    }
    void findsAsYouType() {
        QFETCH(QString, typed);
        QFETCH(bool, openOnly);
        QFETCH(QStringList, expected);
        m_window->ListView1->header()->resizeSection(11, 0);
        find(*m_window, typed);
        m_window->tools()->findBar()->OpenCallsOnly->setChecked(openOnly);
        // The comments are read apart for a word too short for their index.
        QTRY_COMPARE(m_window->tools()->findBar()->FindCount->text(),
                     QString("%1 of 5 calls").arg(expected.size()));
        QCOMPARE(titles(*m_window), expected);
    }

    // Ticking and unticking "Open calls only" with words in the box lists exactly the calls
    // that hold them; a call found by its comments alone says where.
    void openCallsOnlyAndCommentMatches() {
        Exec("update Calls set Comments = 'Spoke to Alvarez about the cable' where ID = 2");
        find(*m_window, "cable");
        QCheckBox* open = m_window->tools()->findBar()->OpenCallsOnly;
        const QStringList all{"Fax\tbroken \"again\"", "Screen flickers"};
        for (const bool ticked : {true, false, true, false}) {
            open->setChecked(ticked);
            QCOMPARE(titles(*m_window), ticked ? all.mid(0, 1) : all);
        }
        CallListModel* model = m_window->callList();
        const QString tip = model->data(model->index(1, 4), Qt::ToolTipRole).toString();
        QCOMPARE(tip, "Found in the comments: Replaced the cable");
        QVERIFY(!m_window->tools()->findBar()->FindText->placeholderText().isEmpty());
    }

    // The comments are found without regard to accents too, either way round, also when a
    // word is changed in place to one with or without them.
    void wordChangedInPlace() {
        Exec("update Calls set Comments = 'The tenant Ståhl phoned' where ID = 2");
        Exec("update Calls set Comments = 'Parcels arrived abimees' where ID = 3");
        find(*m_window, "stahl");
        QCOMPARE(titles(*m_window), QStringList{"Fax\tbroken \"again\""});
        m_window->tools()->findBar()->FindText->setText("abîmées");
        QCOMPARE(titles(*m_window), QStringList{"Screen flickers"});
        CallListModel* model = m_window->callList();
        QCOMPARE(model->data(model->index(0, 4), Qt::ToolTipRole).toString(),
                 "Found in the comments: Parcels arrived abimees");
        m_window->tools()->findBar()->FindText->setText("ståhl");
        QCOMPARE(titles(*m_window), QStringList{"Fax\tbroken \"again\""});
        // A word as long as the index's pieces, in capitals that only Unicode folds.
        m_window->tools()->findBar()->FindText->setText("ÅHL");
        QCOMPARE(titles(*m_window), QStringList{"Fax\tbroken \"again\""});
    }

    // After a save, a delete or a change put in place by ID, the list is what reading it
    // whole gives, in the same sort and filter, with the same call selected.
    void changedCallsPutInPlace_data() {
        QTest::addColumn<QString>("change");
        QTest::addColumn<qint64>("id");
        QTest::newRow("title enters the filter")
            << "update Calls set Title='Printer aardvark' where ID=3" << qint64(3);
        QTest::newRow("title leaves the filter")
            << "update Calls set Title='Scanner jams' where ID=1" << qint64(1);
        QTest::newRow("comments enter the filter")
            << "update Calls set Comments='the printer again' where ID=2" << qint64(2);
        QTest::newRow("deleted") << "delete from Calls where ID=1" << qint64(1);
        QTest::newRow("added") << "insert into Calls (ID,Title) values (9,'Printer new')"
                               << qint64(9);
        QTest::newRow("put back")
            << "insert into Calls (ID,Title,Comments) values (7,'Back','printer')" << qint64(7);
        // Another program wrote into the file: the call it changed is not among those named.
        QTest::newRow("another program's change beside the call saved")
            << "elsewhere:update Calls set Title='Printer aardvark' where ID=3" << qint64(2);
    }
    void changedCallsPutInPlace() {
        QFETCH(QString, change);
        QFETCH(qint64, id);
        const bool elsewhere = change.startsWith("elsewhere:");
        if (elsewhere && TestEnvironment::onServer())
            QSKIP("a server's other desks announce their changes");
        m_window->ListView1_ColumnClick(1);
        m_window->ListView1_ColumnClick(1);
        find(*m_window, "printer");
        clickRow(*m_window, rowOf(*m_window, "Printer toner"));
        if (elsewhere)
            m_env->openOtherDesk()->execute(change.mid(10));
        else
            Exec(change);
        m_window->RefreshCalls({id});
        const QStringList inPlace = titles(*m_window);
        // The list read whole after another program's write starts without a selection.
        if (!elsewhere)
            QCOMPARE(selectedTitle(*m_window), "Printer toner");
        m_window->LoadCalls();
        QCOMPARE(inPlace, titles(*m_window));
    }

    // A delete leaves the removed call's texts where they were stored until the list has been
    // painted: a call added with it, a sort or a find right after it lists every column as
    // reading the list whole does.
    void whatFollowsADeleteIsListedAsRead_data() {
        QTest::addColumn<QString>("then");
        QTest::newRow("a call added with it") << "add";
        QTest::newRow("a sort") << "sort";
        QTest::newRow("a find") << "find";
    }
    void whatFollowsADeleteIsListedAsRead() {
        QFETCH(QString, then);
        const auto cells = [&] {
            QStringList rows;
            for (int row = 0; row < m_window->callList()->rowCount(); ++row)
                for (int column = 0; column < m_window->callList()->columnCount(); ++column)
                    rows << m_window->callList()->text(row, column);
            return rows;
        };
        Exec("delete from Calls where ID=2");
        if (then == "add") {
            Exec("insert into Calls (ID,Title,[Due Date]) values (9,'Printer new','" + day(1) +
                 "')");
            m_window->RefreshCalls({2, 9});
        } else {
            m_window->RefreshCalls({2});
            if (then == "sort")
                m_window->ListView1_ColumnClick(7);
            else
                find(*m_window, "printer");
        }
        const QStringList inPlace = cells();
        m_window->LoadCalls();
        QCOMPARE(inPlace, cells());
    }

    void escapeRestoresListAndSelection() {
        const QRect listPlace = m_window->ListView1->geometry();
        clickRow(*m_window, rowOf(*m_window, "Mail bounces"));
        find(*m_window, "printer");
        QVERIFY(m_window->tools()->findBar()->isVisible());
        QVERIFY(m_window->ListView1->geometry().bottom() <
                m_window->tools()->findBar()->geometry().top());
        QCOMPARE(selectedTitle(*m_window), QString());
        QTest::keyClick(m_window->tools()->findBar()->FindText, Qt::Key_Escape);
        QVERIFY(!m_window->tools()->findBar()->isVisible());
        QCOMPARE(m_window->callList()->rowCount(), 5);
        QCOMPARE(m_window->ListView1->geometry(), listPlace);
        QCOMPARE(selectedTitle(*m_window), "Mail bounces");
        // A call chosen among the found ones stays chosen.
        find(*m_window, "toner");
        clickRow(*m_window, 0);
        QTest::keyClick(m_window->tools()->findBar()->FindText, Qt::Key_Escape);
        QCOMPARE(selectedTitle(*m_window), "Printer toner");
    }

    void filterSurvivesRebuildsAndSorting_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("save") << "add"
                              << QStringList{"Printer jams", "Printer toner", "Printer new"};
        QTest::newRow("delete") << "delete" << QStringList{"Printer toner"};
        QTest::newRow("sort descending") << "sort" << QStringList{"Printer toner", "Printer jams"};
    }
    void filterSurvivesRebuildsAndSorting() {
        QFETCH(QString, command);
        QFETCH(QStringList, expected);
        ScriptedPrompts prompts;
        find(*m_window, "printer");
        if (command == "add") {
            prompts.onModal([](QDialog& editor) {
                Exec("insert into Calls (Title) values ('Printer new')");
                editor.reject();
            });
            m_window->PushButton2->click();
        } else if (command == "delete") {
            clickRow(*m_window, 0);
            m_window->PushButton3->click();
        } else {
            m_window->ListView1_ColumnClick(1);
            m_window->ListView1_ColumnClick(1);
        }
        QCOMPARE(titles(*m_window), expected);
        QCOMPARE(m_window->tools()->findBar()->FindCount->text(),
                 QString("%1 of %2 calls")
                     .arg(expected.size())
                     .arg(m_window->callList()->totalRowCount()));
    }

    void overdueDueDates_data() {
        QTest::addColumn<QString>("title");
        QTest::addColumn<bool>("overdueToday");
        QTest::addColumn<bool>("overdueTomorrow");
        QTest::newRow("due yesterday") << "Printer jams" << true << true;
        QTest::newRow("due today") << "Fax\tbroken \"again\"" << false << true;
        QTest::newRow("resolved") << "Screen flickers" << false << false;
        QTest::newRow("no due date") << "Mail bounces" << false << false;
        QTest::newRow("due later") << "Printer toner" << false << false;
    }
    void overdueDueDates() {
        QFETCH(QString, title);
        QFETCH(bool, overdueToday);
        QFETCH(bool, overdueTomorrow);
        CallListModel* model = m_window->callList();
        const QModelIndex due = model->index(rowOf(*m_window, title), 7);
        const QModelIndex other = model->index(due.row(), 1);
        QCOMPARE(model->data(due, Qt::ForegroundRole).isValid(), overdueToday);
        const QString tip = model->data(due, Qt::ToolTipRole).toString();
        QCOMPARE(tip == "Overdue since " + model->text(due.row(), 7), overdueToday);
        QVERIFY(!model->data(other, Qt::ForegroundRole).isValid());
        // At midnight the list follows the date.
        model->setToday(QDate::currentDate().addDays(1));
        QCOMPARE(model->data(due, Qt::ForegroundRole).isValid(), overdueTomorrow);
    }

    void rowTooltipsAndButtonKeys() {
        CallListModel* model = m_window->callList();
        QCOMPARE(model->data(model->index(rowOf(*m_window, "Screen flickers"), 1), Qt::ToolTipRole)
                     .toString(),
                 "Replaced the cable");
        Exec("update Calls set Comments = '" + QString(1000, 'x') + "' where ID = 4");
        QCOMPARE(model->data(model->index(rowOf(*m_window, "Mail bounces"), 1), Qt::ToolTipRole)
                     .toString(),
                 QString(300, 'x') + QChar(0x2026));
        // A cell cut short shows its whole text; the comments stay with the title.
        QVERIFY(model->data(model->index(0, 2), Qt::ToolTipRole).isNull());
        m_window->ListView1->header()->resizeSection(2, 20);
        const QModelIndex caller = model->index(rowOf(*m_window, "Printer jams"), 2);
        QHelpEvent help(QEvent::ToolTip, m_window->ListView1->visualRect(caller).center(),
                        m_window->ListView1->viewport()->mapToGlobal(
                            m_window->ListView1->visualRect(caller).center()));
        QApplication::sendEvent(m_window->ListView1->viewport(), &help);
        QTRY_COMPARE(QToolTip::text(), "Jürgen Müller");
        QVERIFY(m_window->PushButton2->toolTip().contains("Ctrl+N"));
        QCOMPARE(m_window->PushButton2->text(), "Add New Call");
    }

    void copiesSelectedRowsAsTabSeparatedText() {
        m_window->ListView1_ColumnClick(0);
        clickRow(*m_window, 0);
        clickRow(*m_window, 1, Qt::ControlModifier);
        QTest::keyClick(m_window->ListView1, Qt::Key_C, Qt::ControlModifier);
        const QStringList lines = QApplication::clipboard()->text().split('\n');
        QCOMPARE(lines.size(), 4);
        QCOMPARE(lines[0], "ID\tTitle\tCaller\tAssigned To\tPriority\tStatus\tCategory\tDue "
                           "Date\tOpened Date\tResolved By\tResolved Time\tOpened By");
        QVERIFY(lines[1].startsWith("1\tPrinter jams\tJürgen Müller\tBob Stone\t"));
        QVERIFY(lines[2].startsWith("2\t\"Fax\tbroken \"\"again\"\"\"\tAnn Lee\t"));
        QCOMPARE(lines[3], "");
        // Edit and Delete still act on the one current row.
        QCOMPARE(m_window->selectedRow(), 1);
        // A quote alone is enough to quote the cell.
        Exec("update Calls set Title = 'Screen 24\"' where ID = 3");
        m_window->LoadCalls();
        clickRow(*m_window, 2);
        QTest::keyClick(m_window->ListView1, Qt::Key_C, Qt::ControlModifier);
        QVERIFY2(QApplication::clipboard()->text().contains("\n3\t\"Screen 24\"\"\"\t"),
                 qPrintable(QApplication::clipboard()->text()));
    }

    void contextMenuExportsTheListedRows() {
        ScriptedPrompts prompts;
        const QString path = m_env->dataHome() + "/listed.csv";
        prompts.onModal([&](QDialog& dialog) {
            static_cast<QFileDialog&>(dialog).selectFile(path);
            dialog.accept();
        });
        find(*m_window, "printer");
        m_window->ListView1_ColumnClick(1);
        m_window->ListView1_ColumnClick(1);
        QStringList actions;
        QTimer::singleShot(0, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            QVERIFY(menu);
            for (QAction* action : menu->actions()) {
                actions << action->text();
                if (action->text() == "E&xport…")
                    action->trigger();
            }
            menu->close();
        });
        m_window->tools()->showMenu(QPoint(5, 5));
        QCOMPARE(actions.mid(0, 7),
                 QStringList({"&Find…", "", "&Edit", "&Delete", "", "&Copy", "E&xport…"}));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QList<QStringList> records = ReadCsv(file.readAll());
        QCOMPARE(records.size(), 3);
        QCOMPARE(records[1].mid(1, 2), QStringList({"Printer toner", "Ann Lee"}));
        QCOMPARE(records[2][1], "Printer jams");
        QCOMPARE(records[2][7], day(-1));
        QCOMPARE(records[2][12], "Paper \"A4\"\tstuck");
        // The export says where the file is, and the next one opens in that folder.
        QCOMPARE(prompts.texts().last(), "The calls were exported to:\r\n\r\n" + path);
        QString openedIn;
        prompts.onModal([&](QDialog& dialog) {
            openedIn = static_cast<QFileDialog&>(dialog).directory().absolutePath();
            dialog.reject();
        });
        m_window->tools()->exportRows();
        QCOMPARE(openedIn, m_env->dataHome());
    }

    // At start-up the window comes first and the rows after it; a rebuild replaces a fill that
    // is still running, and no row of the replaced fill arrives later.
    void startupFillAndReplacingRebuild() {
        m_window.reset();
        SharedConnection().beginTransaction();
        for (int i = 0; i < 9000; ++i)
            Exec("insert into Calls (Title) values ('bulk')");
        SharedConnection().commit();
        const int total = Count("select count(*) from Calls");
        Form1 window;
        window.Form_Load();
        QVERIFY(window.listFilling());
        QCOMPARE(window.callList()->rowCount(), 0);
        window.show();
        QTRY_VERIFY(window.callList()->rowCount() > 0);
        window.LoadCalls();
        QVERIFY(!window.listFilling());
        QCOMPARE(window.callList()->rowCount(), total);
        QTest::qWait(200);
        QCOMPARE(window.callList()->rowCount(), total);
        QCOMPARE(window.callList()->rowOfId(total), window.callList()->rowCount() - 1);
    }

private:
    std::unique_ptr<TestEnvironment> m_env;
    std::unique_ptr<Form1> m_window;
};

QTEST_MAIN(TestFind)
#include "test_list_find.moc"
