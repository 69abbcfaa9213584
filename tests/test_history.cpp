// Nothing a slip can lose: several calls deleted after one question, every delete undone with
// Ctrl+Z or from the deleted calls, the history of every call, and editors that ask before
// Escape drops what was typed.
#include "app/main_window.h"
#include "call_editor_fixture.h"
#include "contacts/customer_editor.h"
#include "contacts/employee_editor.h"
#include "data/shared_connection.h"
#include "history/call_history_window.h"
#include "history/deleted_calls_window.h"
#include "list/call_list_model.h"
#include "list/call_list_tools.h"
#include "list/find_bar.h"
#include "records/comments_search.h"
#include "records/deletions.h"

#include <QApplication>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeView>
#include <QTreeWidget>
#include <memory>

namespace {

// Dates also as the text stored, which a date read shows only in part.
const QString kEverything[] = {
    "select * from Calls order by ID",
    "select ID, [Opened Date] || '', [Due Date] || '', [Resolved Date] || '', [Call Time] || '' "
    "from Calls order by ID",
    "select * from Status order by Status", "select * from Customers order by ID",
    "select * from Employees order by ID"};

QStringList everything() {
    QStringList rows;
    for (const QString& sql : kEverything)
        rows << Rows(sql) << QStringLiteral("--");
    return rows;
}

// The program started on a database with the call editor's people and values, and `calls`
// calls: the first half with status Pending and caller 2, the rest Open and caller 1.
struct Desk {
    TestEnvironment env;
    ScriptedPrompts prompts;
    std::unique_ptr<Form1> window;

    explicit Desk(int calls = 4) {
        Deletions::ForgetAll();
        window = StartProgram();
        addListedData();
        for (int i = 0; i < calls; ++i) {
            CallRow call;
            call.title = QStringLiteral("Call %1").arg(i + 1);
            call.status = i < calls / 2 ? QStringLiteral("Pending") : QStringLiteral("Open");
            call.caller = i < calls / 2 ? 2 : 1;
            call.comments = QStringLiteral("It's the %1th time").arg(i);
            addCall(call);
        }
        window->LoadCalls();
        activate();
    }

    void activate() {
        QApplication::setActiveWindow(window.get());
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
    }
    void selectRows(const QList<int>& rows) {
        window->selectRow(rows.first());
        for (int row : rows.mid(1))
            window->ListView1->selectionModel()->select(window->callList()->index(row, 0),
                                                        QItemSelectionModel::Select |
                                                            QItemSelectionModel::Rows);
    }
    QStringList listedIds() const {
        QStringList ids;
        for (int row = 0; row < window->callList()->rowCount(); ++row)
            ids << window->callList()->text(row, 0);
        return ids;
    }
    // Deletes from the call editor's list row `button` after its warning.
    void deleteInEditor(QPushButton* Form2::*button, QComboBox* Form2::*list,
                        const QString& entry) {
        Form2 editor;
        openEditor(editor, QString());
        pick(editor.*list, entry);
        prompts.answer(Prompts::Yes);
        QTest::mouseClick(editor.*button, Qt::LeftButton);
    }
};

// The rows a window lists, columns `first` to `last`.
QStringList shownRows(const QTreeWidget* list, int first, int last) {
    QStringList rows;
    for (int row = 0; row < list->topLevelItemCount(); ++row) {
        QStringList cells;
        for (int column = first; column <= last; ++column)
            cells << list->topLevelItem(row)->text(column);
        rows << cells.join('|');
    }
    return rows;
}

} // namespace

class RecoveryTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

    void severalSelectedCallsGoTogether_data() {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("refused");
        QTest::addColumn<QStringList>("left");
        QTest::newRow("No keeps them")
            << int(Prompts::No) << false << QStringList{"1", "2", "3", "4"};
        QTest::newRow("Yes deletes them") << int(Prompts::Yes) << false << QStringList{"1", "4"};
        QTest::newRow("a refused delete deletes none")
            << int(Prompts::Yes) << true << QStringList{"1", "2", "3", "4"};
    }
    void severalSelectedCallsGoTogether() {
        QFETCH(int, answer);
        QFETCH(bool, refused);
        QFETCH(QStringList, left);
        Desk desk;
        if (refused)
            Exec("create temp trigger RefuseDeletes before delete on Calls begin "
                 "select raise(abort, 'The call is locked.'); end");
        desk.selectRows({1, 2});
        desk.prompts.answer(answer);
        QTest::keyClick(desk.window->ListView1, Qt::Key_Delete);

        QCOMPARE(desk.prompts.boxes.at(0).text,
                 QStringLiteral("Are you sure you want to delete these 2 calls?"));
        QCOMPARE(desk.prompts.boxes.at(0).style, Prompts::YesNo | Prompts::DefaultButton2);
        QCOMPARE(desk.prompts.errorReports().size(), size_t(refused ? 1 : 0));
        QCOMPARE(Rows("select ID from Calls order by ID"), left);
        QCOMPARE(desk.listedIds(), left);
    }

    void ctrlZPutsBackWhatADeleteTook_data() {
        QTest::addColumn<QString>("what");
        QTest::addColumn<QStringList>("restoredIds");
        QTest::newRow("one call") << "call" << QStringList{"3"};
        QTest::newRow("two calls") << "calls" << QStringList{"2", "3"};
        QTest::newRow("a status") << "status" << QStringList{"1", "2"};
        QTest::newRow("a caller") << "caller" << QStringList{"1", "2"};
        QTest::newRow("an employee") << "employee" << QStringList{"1", "2", "3", "4"};
        QTest::newRow("a call kept with a time of midnight") << "typed date" << QStringList{"3"};
        // Two deletes: the first Ctrl+Z undoes the newest, the second the one before it.
        QTest::newRow("two deletes, undone twice") << "twice" << QStringList{"2", "3"};
        QTest::newRow("a call without a call time") << "no call time" << QStringList{"3"};
    }
    void ctrlZPutsBackWhatADeleteTook() {
        QFETCH(QString, what);
        QFETCH(QStringList, restoredIds);
        Desk desk;
        // Made by an import or another program: no Call Time, and no resolved date either.
        if (what == "no call time")
            Exec("update Calls set [Call Time] = NULL, [Resolved Date] = NULL where ID = 3");
        const QStringList before = everything();
        if (what == "call" || what == "calls" || what == "typed date" || what == "twice" ||
            what == "no call time") {
            desk.selectRows(what == "calls" ? QList<int>{1, 2} : QList<int>{2});
            desk.prompts.answer(Prompts::Yes);
            QTest::keyClick(desk.window->ListView1, Qt::Key_Delete);
            if (what == "twice") {
                desk.selectRows({int(desk.listedIds().indexOf("2"))});
                desk.prompts.answer(Prompts::Yes);
                QTest::keyClick(desk.window->ListView1, Qt::Key_Delete);
            }
            // Put back, it gets the stored form, as it would have on the way in.
            if (what == "typed date")
                Exec("update DeletedCalls set [Due Date] = [Due Date] || ' 00:00:00'");
        } else if (what == "status") {
            desk.deleteInEditor(&Form2::PushButton8, &Form2::Combo3, "Pending");
        } else if (what == "caller") {
            desk.deleteInEditor(&Form2::PushButton16, &Form2::Combo6, "Ben Cole");
        } else {
            desk.deleteInEditor(&Form2::PushButton6, &Form2::Combo1, "Nora Quill");
        }
        desk.window->LoadCalls();
        QCOMPARE(Count("select count(*) from Calls"), 4 - restoredIds.size());

        desk.activate();
        QTest::keyClick(desk.window.get(), Qt::Key_Z, Qt::ControlModifier);
        if (what == "twice") {
            QCOMPARE(Rows("select ID from Calls order by ID"), QStringList({"1", "2", "4"}));
            QCOMPARE(desk.window->selectedIds(), QStringList{"2"});
            QTest::keyClick(desk.window.get(), Qt::Key_Z, Qt::ControlModifier);
            restoredIds = QStringList{"3"};
        }

        QCOMPARE(everything(), before);
        QCOMPARE(desk.window->selectedIds(), restoredIds);
        QVERIFY(desk.prompts.errorReports().empty());
        // Once undone, it is gone from the deleted calls.
        QCOMPARE(Count("select count(*) from DeletedCalls"), 0);
        // The calls put back are found by their comments and their history tells they came
        // back; a call added afterwards is recorded and found as ever.
        Exec("insert into Calls (Title, Comments) values ('Call 5', 'One more time')");
        QCOMPARE(CallsWithCommentsHolding(SharedConnection(), "time"),
                 (std::vector<qint64>{1, 2, 3, 4, 5}));
        QCOMPARE(Rows("select CallID, NewValue from CallHistory h where ID = (select max(ID) "
                      "from CallHistory g where g.CallID = h.CallID) order by CallID"),
                 QStringList({"1|Call 1", "2|Call 2", "3|Call 3", "4|Call 4", "5|Call 5"}));
    }

    // A call put back by Ctrl+Z is listed where a reload lists it: every call is still found
    // where it is listed by the next delete or edit, sorted or not.
    void callsPutBackAreFoundWhereListed_data() {
        QTest::addColumn<int>("headerClicks");
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("call");
        QTest::addColumn<QStringList>("listed");
        QTest::addColumn<QString>("selected");
        QTest::newRow("delete, unsorted") << 0 << "delete"
                                          << "3" << QStringList{"1", "2", "4"} << "4";
        QTest::newRow("delete, sorted by title descending")
            << 2 << "delete"
            << "3" << QStringList{"4", "2", "1"} << "2";
        QTest::newRow("edit of the call put back, sorted by title")
            << 1 << "edit"
            << "2" << QStringList{"1", "2", "3", "4"} << "2";
    }
    // Undone, a delete puts the calls back where a reload lists them, sorted or not, and
    // while a find narrows the list.
    void undoPutsCallsWhereAReloadLists_data() {
        QTest::addColumn<int>("headerClicks");
        QTest::addColumn<QList<int>>("deleted");
        QTest::addColumn<QString>("found");
        QTest::newRow("the third, unsorted") << 0 << QList<int>{2} << "";
        QTest::newRow("the first, unsorted") << 0 << QList<int>{0} << "";
        QTest::newRow("the last, unsorted") << 0 << QList<int>{5} << "";
        QTest::newRow("two apart, unsorted") << 0 << QList<int>{1, 3} << "";
        QTest::newRow("the third, by title") << 1 << QList<int>{2} << "";
        QTest::newRow("the third, by title descending") << 2 << QList<int>{2} << "";
        QTest::newRow("the third, unsorted, finding") << 0 << QList<int>{2} << "call";
        QTest::newRow("two, unsorted, finding") << 0 << QList<int>{1, 4} << "time";
    }
    void undoPutsCallsWhereAReloadLists() {
        QFETCH(int, headerClicks);
        QFETCH(QList<int>, deleted);
        QFETCH(QString, found);
        Desk desk(6);
        for (int click = 0; click < headerClicks; ++click)
            desk.window->ListView1_ColumnClick(1);
        if (!found.isEmpty()) {
            QTest::keyClick(desk.window.get(), Qt::Key_F, Qt::ControlModifier);
            QTest::keyClicks(desk.window->tools()->findBar()->FindText, found);
        }
        for (int round = 0; round < 2; ++round) {
            desk.selectRows(deleted);
            desk.prompts.answer(Prompts::Yes);
            QTest::keyClick(desk.window->ListView1, Qt::Key_Delete);
            desk.activate();
            QTest::keyClick(desk.window.get(), Qt::Key_Z, Qt::ControlModifier);
            const QStringList undone = desk.listedIds();
            QCOMPARE(undone.size(), 6);
            desk.window->LoadCalls();
            QCOMPARE(undone, desk.listedIds());
        }
    }

    void callsPutBackAreFoundWhereListed() {
        QFETCH(int, headerClicks);
        QFETCH(QString, command);
        QFETCH(QString, call);
        QFETCH(QStringList, listed);
        QFETCH(QString, selected);
        Desk desk;
        for (int click = 0; click < headerClicks; ++click)
            desk.window->ListView1_ColumnClick(1);
        desk.selectRows({int(desk.listedIds().indexOf("2"))});
        desk.prompts.answer(Prompts::Yes);
        QTest::keyClick(desk.window->ListView1, Qt::Key_Delete);
        desk.activate();
        QTest::keyClick(desk.window.get(), Qt::Key_Z, Qt::ControlModifier);

        desk.selectRows({int(desk.listedIds().indexOf(call))});
        if (command == "delete") {
            desk.prompts.answer(Prompts::Yes);
            QTest::keyClick(desk.window->ListView1, Qt::Key_Delete);
        } else {
            desk.prompts.onModal([](QDialog& dialog) {
                auto& editor = static_cast<Form2&>(dialog);
                editor.Text1->setText(editor.Text1->text() + " again");
                editor.PushButton2->click();
            });
            desk.window->PushButton1_Click();
        }
        QCOMPARE(desk.listedIds(), listed);
        QCOMPARE(desk.window->selectedIds(), QStringList{selected});
        QVERIFY(desk.prompts.errorReports().empty());
    }

    void historyShowsEveryChangeNewestFirst() {
        Desk desk(1);
        Exec("update Calls set Title='Printer jams' where ID=1");
        Exec("update Calls set Title='Printer on fire', [Assigned To]=2 where ID=1");
        Exec("update Calls set [Due Date]='" + dateText(QDate(2026, 3, 1)) + "' where ID=1");
        // From empty to a value (the call resolved) and back (cleared, opened again).
        Exec("update Calls set [Resolved By]=1, [Resolved Date]='" + dateText(QDate(2026, 3, 2)) +
             "' where ID=1");
        Exec("update Calls set [Resolved By]=NULL, [Resolved Date]=NULL, Comments=NULL where ID=1");
        desk.window->LoadCalls();
        desk.window->selectRow(0);
        QStringList shown;
        QStringList who;
        desk.prompts.onModal([&](QDialog& dialog) {
            const QTreeWidget* list = qobject_cast<CallHistoryWindow*>(&dialog)->list();
            shown = shownRows(list, 2, 4);
            who = shownRows(list, 0, 1);
        });
        QTest::keyClick(desk.window.get(), Qt::Key_H, Qt::ControlModifier);

        // Newest first; people by name, dates as the program writes them.
        const QString resolved = dateText(QDate(2026, 3, 2));
        QCOMPARE(shown,
                 QStringList({
                     "Resolved Date|" + resolved + '|',
                     "Resolved By|Nora Quill|",
                     "Comments|It's the 0th time|",
                     "Resolved Date||" + resolved,
                     "Resolved By||Nora Quill",
                     "Due Date|" + dateText(QDate(2026, 2, 10)) + '|' + dateText(QDate(2026, 3, 1)),
                     "Assigned To|Nora Quill|Bram Holt",
                     "Title|Printer jams|Printer on fire",
                     "Title|Call 1|Printer jams",
                     "Call created||Call 1",
                 }));
        QCOMPARE(who.size(), 10);
        QCOMPARE(who.first(), Rows("select [Changed At], [Changed By] from CallHistory where "
                                   "ID = (select max(ID) from CallHistory)")
                                  .value(0));
        QVERIFY(!who.first().endsWith('|'));
    }

    void deletedCallsComeBackFromTheirWindow() {
        Desk desk;
        const QStringList before = everything();
        desk.deleteInEditor(&Form2::PushButton8, &Form2::Combo3, "Pending");
        desk.window->LoadCalls();
        QStringList listed;
        QString deleted;
        QStringList history;
        desk.prompts.onModal([&](QDialog& dialog) {
            auto* window = qobject_cast<DeletedCallsWindow*>(&dialog);
            listed = shownRows(window->list(), 0, 4);
            deleted = Rows("select [Deleted At], [Deleted By] from Deletions").value(0) + '|';
            window->list()->setCurrentItem(window->list()->topLevelItem(1));
            desk.prompts.onModal([&](QDialog& inner) {
                history = shownRows(qobject_cast<CallHistoryWindow*>(&inner)->list(), 2, 4);
            });
            QTest::mouseClick(window->historyButton(), Qt::LeftButton);
            window->list()->topLevelItem(0)->setSelected(true);
            QTest::mouseClick(window->restoreButton(), Qt::LeftButton);
        });
        desk.activate();
        QTest::keyClick(desk.window.get(), Qt::Key_D, Qt::ControlModifier | Qt::ShiftModifier);

        QCOMPARE(listed, QStringList({deleted + "1|Call 1|Status \"Pending\"",
                                      deleted + "2|Call 2|Status \"Pending\""}));
        QCOMPARE(history.size(), 2);
        QCOMPARE(history.at(0), QStringLiteral("Call deleted|Call 2|"));
        QCOMPARE(everything(), before);
        QCOMPARE(desk.window->selectedIds(), QStringList({"1", "2"}));
    }

    // History and Deleted calls open on their first row, move with the arrow keys, and tell
    // a screen reader how many rows they list and which is selected.
    void windowsSelectAndTell_data() {
        QTest::addColumn<QString>("window");
        QTest::addColumn<int>("rows");
        QTest::addColumn<QStringList>("told");
        QTest::newRow("deleted calls, none") << "deleted" << 0 << QStringList{"No deleted calls"};
        QTest::newRow("deleted calls, one")
            << "deleted" << 1 << QStringList{"1 deleted call, selected: call 4, Call 4"};
        QTest::newRow("deleted calls, three")
            << "deleted" << 3
            << QStringList{"3 deleted calls, selected: call 2, Call 2",
                           "3 deleted calls, selected: call 3, Call 3",
                           "3 deleted calls, selected: call 4, Call 4",
                           "3 deleted calls, selected: call 4, Call 4"};
        QTest::newRow("history of a new call")
            << "history" << 1 << QStringList{"1 change, selected: Call created, by "};
        QTest::newRow("history of three changes")
            << "history" << 3
            << QStringList{"3 changes, selected: Title, by ", "3 changes, selected: Title, by ",
                           "3 changes, selected: Call created, by ",
                           "3 changes, selected: Call created, by "};
    }
    void windowsSelectAndTell() {
        QFETCH(QString, window);
        QFETCH(int, rows);
        QFETCH(QStringList, told);
        Desk desk;
        std::unique_ptr<QDialog> dialog;
        QTreeWidget* list = nullptr;
        if (window == "deleted") {
            // One at a time, the last first: the newest deletion is listed first.
            for (int row = 0; row < rows; ++row) {
                desk.selectRows({3 - row});
                desk.prompts.answer(Prompts::Yes);
                QTest::keyClick(desk.window->ListView1, Qt::Key_Delete);
            }
            auto deleted = std::make_unique<DeletedCallsWindow>(SharedConnection());
            list = deleted->list();
            QCOMPARE(deleted->restoreButton()->isEnabled(), rows > 0);
            dialog = std::move(deleted);
        } else {
            for (int change = 1; change < rows; ++change)
                Exec(QStringLiteral("update Calls set Title='Change %1' where ID=1").arg(change));
            auto history = std::make_unique<CallHistoryWindow>(SharedConnection(), 1, "Call 1");
            list = history->list();
            dialog = std::move(history);
        }
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
        QCOMPARE(list->selectedItems().size(), rows > 0 ? 1 : 0);
        QCOMPARE(list->currentItem(), list->topLevelItem(0));
        QStringList heard{list->accessibleDescription()};
        for (int down = 1; down < told.size(); ++down) {
            QTest::keyClick(list, Qt::Key_Down);
            heard << list->accessibleDescription();
        }
        for (int i = 0; i < told.size(); ++i)
            QVERIFY2(heard.at(i).startsWith(told.at(i)), qPrintable(heard.at(i)));
    }

    // In Deleted calls the titles show whole before the other columns, which keep at least
    // their headings; the columns stay within the list, a title too long for it cut last.
    void deletedCallsShowTheirTitles_data() {
        QTest::addColumn<int>("length");
        QTest::addColumn<bool>("whole");
        QTest::newRow("a short title") << 8 << true;
        QTest::newRow("a long title") << 60 << true;
        QTest::newRow("a title wider than the window") << 400 << false;
    }
    void deletedCallsShowTheirTitles() {
        QFETCH(int, length);
        QFETCH(bool, whole);
        Desk desk(1);
        Exec("update Calls set Title='" + QString("Offer a discount ").repeated(25).left(length) +
             "' where ID=1");
        desk.window->LoadCalls();
        desk.selectRows({0});
        desk.prompts.answer(Prompts::Yes);
        QTest::keyClick(desk.window->ListView1, Qt::Key_Delete);
        DeletedCallsWindow deleted(SharedConnection());
        deleted.show();
        QVERIFY(QTest::qWaitForWindowExposed(&deleted));
        QTreeWidget* list = deleted.list();
        const int titleNeeds = static_cast<QAbstractItemView*>(list)->sizeHintForColumn(3);
        QCOMPARE(list->columnWidth(3) >= titleNeeds, whole);
        int total = 0;
        for (int column = 0; column < list->columnCount(); ++column) {
            QVERIFY(list->columnWidth(column) >= list->header()->sectionSizeHint(column));
            total += list->columnWidth(column);
        }
        QVERIFY(total <= list->viewport()->width());
    }

    // Calls put back from their window bring back the person deleted with them: a caller, or
    // an employee who only resolved a call.
    void callsPutBackFromTheirWindowBringTheirPeople_data() {
        QTest::addColumn<bool>("resolver");
        QTest::newRow("the caller") << false;
        QTest::newRow("the one who resolved a call") << true;
    }
    void callsPutBackFromTheirWindowBringTheirPeople() {
        QFETCH(bool, resolver);
        if (resolver && TestEnvironment::onServer())
            QSKIP("A server empties Resolved By when the person is deleted");
        Desk desk;
        if (resolver)
            Exec("update Calls set [Resolved By] = 5 where ID = 3");
        const QStringList before = everything();
        // The resolver's delete leaves the call; the call is deleted afterwards.
        if (resolver) {
            desk.deleteInEditor(&Form2::PushButton6, &Form2::Combo1, "Eli Stone");
            desk.window->LoadCalls();
            desk.selectRows({2});
            desk.prompts.answer(Prompts::Yes);
            QTest::keyClick(desk.window->ListView1, Qt::Key_Delete);
        } else
            desk.deleteInEditor(&Form2::PushButton16, &Form2::Combo6, "Ben Cole");
        desk.window->LoadCalls();
        desk.prompts.onModal([&](QDialog& dialog) {
            auto* window = qobject_cast<DeletedCallsWindow*>(&dialog);
            window->list()->selectAll();
            // The history is of one call: with several chosen it waits.
            QCOMPARE(window->historyButton()->isEnabled(),
                     window->list()->selectedItems().size() == 1);
            QTest::mouseClick(window->restoreButton(), Qt::LeftButton);
        });
        desk.activate();
        QTest::keyClick(desk.window.get(), Qt::Key_D, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(everything(), before);
    }

    // The comments' index keeps a deleted call's entries while it is kept. Whichever way calls
    // leave and come back, a search finds exactly the calls there are whose comments hold the
    // word, and once nothing is kept the index holds exactly the comments of the calls.
    void commentsIndexFollowsCallsThatLeaveAndComeBack_data() {
        QTest::addColumn<QStringList>("steps");
        QTest::newRow("deleted, undone") << QStringList{"delete 2", "undo"};
        QTest::newRow("deleted, changed, deleted again, restored")
            << QStringList{"delete 2", "undo", "note 2", "delete 2", "restore 2"};
        QTest::newRow("kept past its days") << QStringList{"delete 2", "delete 3", "age all"};
        QTest::newRow("one of two IDs taken again, their deletion undone")
            << QStringList{"delete 2,3", "insert 2", "undo"};
        QTest::newRow("an ID kept twice, the older copy restored")
            << QStringList{"delete 2", "insert 2", "delete 2", "undo oldest"};
        QTest::newRow("an ID kept twice, both copies chosen in the window")
            << QStringList{"delete 2", "insert 2", "delete 2", "restore 2"};
        QTest::newRow("an ID kept twice, the newer copy past its days")
            << QStringList{"delete 2", "insert 2", "delete 2", "age newest"};
    }
    void commentsIndexFollowsCallsThatLeaveAndComeBack() {
        QFETCH(QStringList, steps);
        if (TestEnvironment::onServer())
            QSKIP("The server's index of the comments is the engine's own");
        Desk desk;
        Connection& db = SharedConnection();
        const auto age = [&](const QString& which) {
            Exec("update Deletions set [Deleted At] = '2000-01-01 00:00:00'" + which);
            Deletions::Run(db, [] {});
        };
        for (const QString& step : steps) {
            const QString id = step.section(' ', -1);
            if (step.startsWith("delete"))
                Deletions::Run(db,
                               [&] { db.execute("delete from Calls where ID in (" + id + ')'); });
            else if (step == "undo")
                Deletions::Restore(db, Deletions::TakeLast());
            else if (step == "undo oldest")
                Deletions::Restore(db, Scalar("select min(Deletion) from DeletedCalls").toInt());
            else if (step.startsWith("restore"))
                Deletions::RestoreCalls(db, {id.toInt()});
            else if (step.startsWith("note"))
                Exec("update Calls set Comments = 'A new note' where ID = " + id);
            else if (step.startsWith("insert"))
                Exec("insert into Calls (ID, Title, Comments) values (" + id +
                     ", 'Again', 'An old note again')");
            else
                age(step == "age all" ? QString()
                                      : " where ID = (select max(Deletion) from DeletedCalls)");
        }
        const auto holding = [](const QString& word) {
            std::vector<qint64> ids;
            for (const QString& id :
                 Rows("select ID from Calls where Comments like '%" + word + "%' order by ID"))
                ids.push_back(id.toLongLong());
            return ids;
        };
        for (const char* word : {"time", "1th", "new note", "old note"})
            QCOMPARE(CallsWithCommentsHolding(db, word), holding(word));
        age(QString());
        QCOMPARE(Count("select count(*) from DeletedCalls"), 0);
        Exec("insert into CallsText (CallsText, rank) values ('integrity-check', 1)");
        QCOMPARE(Count("select count(*) from CallsText_docsize"),
                 Count("select count(*) from Calls"));
    }

    void escapeAsksOnlyWhenSomethingChanged_data() {
        QTest::addColumn<QString>("editor");
        QTest::addColumn<QString>("action");
        QTest::addColumn<bool>("changed");
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("closed");
        for (const char* editor : {"call", "employee", "customer"}) {
            QTest::addRow("%s, unchanged", editor) << editor << "" << false << 0 << true;
            QTest::addRow("%s, changed, No", editor)
                << editor << "type" << true << int(Prompts::No) << false;
            QTest::addRow("%s, changed, Yes", editor)
                << editor << "type" << true << int(Prompts::Yes) << true;
        }
        // What the program writes itself is no change: the ID's "0" on leaving its box (of a new
        // call or a kept one), a list loaded again after "+"; what the person typed still counts.
        QTest::addRow("new call, ID box left") << "new call"
                                               << "leave ID" << false << 0 << true;
        QTest::addRow("new call, ID box left twice") << "new call"
                                                     << "leave ID,leave ID" << false << 0 << true;
        QTest::addRow("call, ID box left") << "call"
                                           << "leave ID" << false << 0 << true;
        QTest::addRow("new call, status added") << "new call"
                                                << "add status" << false << 0 << true;
        QTest::addRow("call, status added") << "call"
                                            << "add status" << false << 0 << true;
        QTest::addRow("new call, typed, ID box left, status added")
            << "new call"
            << "type,leave ID,add status" << true << int(Prompts::No) << false;
        QTest::addRow("new call, ID box left, then typed")
            << "new call"
            << "leave ID,type" << true << int(Prompts::Yes) << true;
    }
    void escapeAsksOnlyWhenSomethingChanged() {
        QFETCH(QString, editor);
        QFETCH(QString, action);
        QFETCH(bool, changed);
        QFETCH(int, answer);
        QFETCH(bool, closed);
        EditorData data;
        const int id = addCall(CallRow());
        std::unique_ptr<QDialog> window;
        QWidget* box = nullptr;
        Form2* call = nullptr;
        if (editor.endsWith("call")) {
            auto form = std::make_unique<Form2>();
            openEditor(*form, editor == "call" ? QString::number(id) : QString());
            box = form->Text1;
            call = form.get();
            window = std::move(form);
        } else {
            std::unique_ptr<ContactEditor> form;
            if (editor == "employee")
                form = std::make_unique<Form3>();
            else
                form = std::make_unique<Form5>();
            form->m_ID = QStringLiteral("1");
            form->Form_Load();
            form->show();
            box = form->box(1);
            window = std::move(form);
        }
        for (const QString& step : action.split(',', Qt::SkipEmptyParts)) {
            if (step == "type") {
                QTest::keyClicks(box, QStringLiteral("x"));
            } else if (step == "leave ID") {
                QFocusEvent in(QEvent::FocusIn), out(QEvent::FocusOut);
                QApplication::sendEvent(call->Text2, &in);
                QApplication::sendEvent(call->Text2, &out);
                if (editor == "new call")
                    QCOMPARE(call->Text2->text(), QStringLiteral("0"));
            } else {
                data.prompts.type(QStringLiteral("On hold"));
                QTest::mouseClick(call->PushButton7, Qt::LeftButton);
                QVERIFY(call->Combo3->findText(QStringLiteral("On hold")) >= 0);
            }
        }
        if (answer)
            data.prompts.answer(answer);
        QTest::keyClick(box, Qt::Key_Escape);

        QCOMPARE(data.prompts.texts(),
                 changed ? QStringList{"Discard the changes made in this window?"} : QStringList{});
        if (changed)
            QCOMPARE(data.prompts.boxes.at(0).style, Prompts::YesNo | Prompts::DefaultButton2);
        QCOMPARE(window->isVisible(), !closed);
    }

    void deleteOrBackspaceClearsResolvedBy() {
        EditorData data;
        CallRow call;
        call.resolvedBy = QStringLiteral("'2'");
        call.resolvedDate = QStringLiteral("'") + dateText(QDate(2026, 2, 4)) + "'";
        const int id = addCall(call);
        for (Qt::Key key : {Qt::Key_Delete, Qt::Key_Backspace}) {
            Form2 editor;
            openEditor(editor, QString::number(id));
            QCOMPARE(editor.Combo7->currentText(), QStringLiteral("Bram Holt"));
            QTest::keyClick(editor.Combo7, key);
            QCOMPARE(editor.Combo7->currentIndex(), -1);
        }
    }
};

QTEST_MAIN(RecoveryTest)
#include "test_history.moc"
