// The main window's commands: add, edit and delete a call, help, and the keyboard and mouse
// ways to reach them.
#include "app/main_window.h"
#include "calls/call_editor.h"
#include "data/shared_connection.h"
#include "test_support.h"
#include "ui/appearance.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <memory>

namespace {

// The people and list values that the calls of these tests name, so that the call editor
// finds everything it looks up.
void addPeopleAndValues() {
    Exec("insert into Employees ([First Name],[Last Name]) values ('John','Wilson')");
    Exec("insert into Customers ([First Name],[Last Name]) values ('Hanna','Simmons')");
    Exec("insert into [Status] values ('Open')");
    Exec("insert into [Categories] values ('General')");
    Exec("insert into [Priorities] values ('Low')");
}

std::unique_ptr<Form1> startProgram() {
    auto window = StartProgram();
    addPeopleAndValues();
    return window;
}

void addCall(const QString& title) {
    Exec("insert into Calls (Title,[Assigned To],[Opened By],[Opened Date],Status,Category,"
         "Priority,[Due Date],Caller,[Call Time]) values (" +
         title + ",1,1,'2021-03-04','Open','General','Low','2021-03-05',1,'2021-03-04')");
}

// Three calls: 1 "Printer jams", 2 "Mail is slow", 3 "Screen flickers".
void addThreeCalls(Form1& window) {
    addCall("'Printer jams'");
    addCall("'Mail is slow'");
    addCall("'Screen flickers'");
    window.LoadCalls();
}

QString cell(const Form1& window, int row, int column) {
    const QAbstractItemModel* model = window.ListView1->model();
    return model->data(model->index(row, column), Qt::DisplayRole).toString();
}

QStringList listedIds(const Form1& window) {
    QStringList ids;
    for (int row = 0; row < window.ListView1->model()->rowCount(); ++row)
        ids << cell(window, row, 0);
    return ids;
}

QPoint rowCentre(const Form1& window, int row) {
    return window.ListView1->visualRect(window.ListView1->model()->index(row, 1)).center();
}

void clickRow(Form1& window, int row) {
    QTest::mouseClick(window.ListView1->viewport(), Qt::LeftButton, Qt::NoModifier,
                      rowCentre(window, row));
}

// A person's double-click: a click, then the second press that makes it a double-click.
void doubleClickRow(Form1& window, int row) {
    clickRow(window, row);
    QTest::mouseDClick(window.ListView1->viewport(), Qt::LeftButton, Qt::NoModifier,
                       rowCentre(window, row));
}

void clickHeader(Form1& window, int column) {
    QHeaderView* header = window.ListView1->header();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(header->sectionViewportPosition(column) + 5, header->height() / 2));
}

QString selectedId(const Form1& window) {
    const QModelIndexList rows = window.ListView1->selectionModel()->selectedRows();
    return rows.size() == 1 ? cell(window, rows.first().row(), 0) : QString();
}

// What the opener handed to the call editor.
struct Handed {
    bool editor = false;
    bool modal = false;
    QString id = QStringLiteral("<not shown>");
    QString caption;
};

// Closes the editor like Cancel, after noting what it was given; `meanwhile` runs first, as
// if the user had changed something in the editor.
void closeEditor(ScriptedPrompts& prompts, Handed& handed,
                 std::function<void()> meanwhile = nullptr) {
    prompts.onModal([&handed, meanwhile](QDialog& dialog) {
        auto* editor = qobject_cast<Form2*>(&dialog);
        handed.editor = editor != nullptr;
        handed.modal = dialog.parentWidget() != nullptr;
        if (editor) {
            handed.id = editor->m_ID;
            handed.caption = editor->windowTitle();
        }
        if (meanwhile)
            meanwhile();
        dialog.reject();
    });
}

// The caption a box shows.
QString shownTitle(const ShownBox& box) {
    return box.title;
}

const QString kDeleteQuestion = QStringLiteral("Are you sure you want to delete [%1]?");

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

    void editAndDeleteOnAnEmptyListDoNothing() {
        TestEnvironment env;
        ScriptedPrompts prompts;
        auto window = startProgram();
        QVERIFY(prompts.boxes.empty());

        QTest::mouseClick(window->PushButton1, Qt::LeftButton);
        QTest::mouseClick(window->PushButton3, Qt::LeftButton);
        QTest::keyClick(window->ListView1, Qt::Key_Return);
        QTest::keyClick(window->ListView1, Qt::Key_Delete);
        QTest::mouseClick(window->ListView1->viewport(), Qt::LeftButton, Qt::NoModifier,
                          QPoint(20, 20));
        QTest::mouseDClick(window->ListView1->viewport(), Qt::LeftButton, Qt::NoModifier,
                           QPoint(20, 20));

        QVERIFY(prompts.boxes.empty());
        QCOMPARE(prompts.modalCount, 0);
        QCOMPARE(window->ListView1->model()->rowCount(), 0);
    }

    void deleteAsksAndNoKeepsEverything() {
        TestEnvironment env;
        ScriptedPrompts prompts;
        auto window = startProgram();
        addThreeCalls(*window);
        clickRow(*window, 1);
        QCOMPARE(selectedId(*window), QStringLiteral("2"));

        prompts.answer(Prompts::No);
        QTest::mouseClick(window->PushButton3, Qt::LeftButton);

        QCOMPARE(prompts.boxes.size(), size_t(1));
        QCOMPARE(prompts.boxes[0].text, kDeleteQuestion.arg("Mail is slow"));
        QCOMPARE(prompts.boxes[0].style, Prompts::YesNo | Prompts::DefaultButton2);
        QCOMPARE(shownTitle(prompts.boxes[0]), AppTitle());
        QCOMPARE(AppTitle(), QStringLiteral("Quorvane"));
        QCOMPARE(Rows("select ID from Calls order by ID"), QStringList({"1", "2", "3"}));
        QCOMPARE(listedIds(*window), QStringList({"1", "2", "3"}));
        QCOMPARE(selectedId(*window), QStringLiteral("2"));
    }

    // The real question box, as the user sees it.
    void theQuestionBoxHasYesAndNoAndTheApplicationTitle() {
        TestEnvironment env;
        auto window = startProgram();
        addThreeCalls(*window);
        clickRow(*window, 0);
        InstallPrompts(nullptr);
        QString title;
        QString text;
        QMessageBox::Icon icon = QMessageBox::Critical;
        QStringList buttons;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            title = box->windowTitle();
            text = box->text();
            icon = box->icon();
            for (QAbstractButton* button : box->buttons())
                buttons << button->text().remove('&');
            box->button(QMessageBox::No)->click();
        });
        QTest::mouseClick(window->PushButton3, Qt::LeftButton);
        QCOMPARE(title, QStringLiteral("Quorvane"));
        QCOMPARE(text, kDeleteQuestion.arg("Printer jams"));
        QCOMPARE(icon, QMessageBox::NoIcon);
        buttons.sort();
        QCOMPARE(buttons, QStringList({"No", "Yes"}));
        QCOMPARE(Count("select count(*) from Calls"), 3);
    }

    void yesDeletesJustThatCall() {
        TestEnvironment env;
        ScriptedPrompts prompts;
        auto window = startProgram();
        addThreeCalls(*window);
        clickRow(*window, 1);

        prompts.answer(Prompts::Yes);
        QTest::mouseClick(window->PushButton3, Qt::LeftButton);

        // Only the question; no message confirms the deletion.
        QCOMPARE(prompts.texts(), QStringList({kDeleteQuestion.arg("Mail is slow")}));
        QCOMPARE(Rows("select ID, Title from Calls order by ID"),
                 QStringList({"1|Printer jams", "3|Screen flickers"}));
        QCOMPARE(listedIds(*window), QStringList({"1", "3"}));
    }

    void theQuestionShowsTheTitleAsListed_data() {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("shown");
        QTest::newRow("empty title") << "''"
                                     << "";
        QTest::newRow("no title") << "NULL"
                                  << "";
        QTest::newRow("quote and brackets") << "'O''Neill [urgent]'"
                                            << "O'Neill [urgent]";
        QTest::newRow("blanks") << "'  two  blanks  '"
                                << "  two  blanks  ";
    }

    void theQuestionShowsTheTitleAsListed() {
        QFETCH(QString, title);
        QFETCH(QString, shown);
        TestEnvironment env;
        ScriptedPrompts prompts;
        auto window = startProgram();
        addCall("'Other'");
        addCall(title);
        window->LoadCalls();
        clickRow(*window, 1);
        prompts.answer(Prompts::Yes);
        QTest::mouseClick(window->PushButton3, Qt::LeftButton);
        QCOMPARE(prompts.texts(),
                 QStringList({"Are you sure you want to delete [" + shown + "]?"}));
        QCOMPARE(Rows("select Title from Calls"), QStringList({"Other"}));
    }

    void deleteWithoutASelectedRowAsksNothing() {
        TestEnvironment env;
        ScriptedPrompts prompts;
        auto window = startProgram();
        addThreeCalls(*window);
        window->ListView1->clearSelection();
        QTest::mouseClick(window->PushButton3, Qt::LeftButton);
        QTest::mouseClick(window->PushButton1, Qt::LeftButton);
        QVERIFY(prompts.boxes.empty());
        QCOMPARE(prompts.modalCount, 0);
        QCOMPARE(Count("select count(*) from Calls"), 3);
    }

    void aFailingDeleteIsReportedAndTheListRebuilt() {
        TestEnvironment env;
        ScriptedPrompts prompts;
        auto window = startProgram();
        addThreeCalls(*window);
        // A rule of this connection that refuses every delete of a call.
        Exec("create temp trigger RefuseDeletes before delete on Calls begin "
             "select raise(abort, 'The call is locked.'); end");
        addCall("'Added meanwhile'");
        clickRow(*window, 0);
        prompts.answer(Prompts::Yes);
        QTest::mouseClick(window->PushButton3, Qt::LeftButton);

        QCOMPARE(prompts.boxes.size(), size_t(2));
        QVERIFY(prompts.boxes[1].text.startsWith(
            "The call is locked.\r\nin Quorvane2021/08/31.Form1.PushButton3_Click at line "
            "104\r\r"));
        QCOMPARE(Count("select count(*) from Calls"), 4);
        QCOMPARE(listedIds(*window), QStringList({"1", "2", "3", "4"}));
    }

    void addHandsTheEditorAnEmptyId() {
        TestEnvironment env;
        ScriptedPrompts prompts;
        auto window = startProgram();
        Handed handed;
        closeEditor(prompts, handed, [] { addCall("'Typed in the editor'"); });

        QTest::mouseClick(window->PushButton2, Qt::LeftButton);

        QCOMPARE(prompts.modalCount, 1);
        QVERIFY(handed.editor);
        QVERIFY(handed.modal);
        QCOMPARE(handed.id, QString());
        QCOMPARE(handed.caption, QStringLiteral("Add New Call"));
        // The list is rebuilt when the editor has closed.
        QCOMPARE(listedIds(*window), QStringList({"1"}));
        QVERIFY(prompts.errorReports().empty());
    }

    void editHandsTheEditorTheSelectedId() {
        TestEnvironment env;
        ScriptedPrompts prompts;
        auto window = startProgram();
        addThreeCalls(*window);
        // Sorted by title, the second row is call 1 "Printer jams".
        clickHeader(*window, 1);
        clickRow(*window, 1);
        QCOMPARE(selectedId(*window), QStringLiteral("1"));
        Handed edit;
        closeEditor(prompts, edit,
                    [] { Exec("update Calls set Title='Printer fixed' where ID=1"); });

        QTest::mouseClick(window->PushButton1, Qt::LeftButton);

        QCOMPARE(prompts.modalCount, 1);
        QVERIFY(edit.editor);
        QVERIFY(edit.modal);
        QCOMPARE(edit.id, QStringLiteral("1"));
        QCOMPARE(edit.caption, QStringLiteral("Edit Data"));
        QCOMPARE(cell(*window, 1, 1), QStringLiteral("Printer fixed"));

        // Add right after an edit still hands over the empty text.
        Handed add;
        closeEditor(prompts, add);
        QTest::mouseClick(window->PushButton2, Qt::LeftButton);
        QCOMPARE(add.id, QString());
        QCOMPARE(add.caption, QStringLiteral("Add New Call"));
        QVERIFY(prompts.boxes.empty());
    }

    // After a command the selection is on the call it concerned, wherever the rebuilt list
    // shows it: the edited call, the new call, or the row that took a deleted call's place.
    void theSelectionFollowsTheCall_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<bool>("sortByTitle");
        QTest::addColumn<int>("clickedRow");
        QTest::addColumn<QString>("meanwhile");
        QTest::addColumn<QString>("selected");
        // Sorted by title: 2 "Mail is slow", 1 "Printer jams", 3 "Screen flickers".
        QTest::newRow("edit, another call now ahead") << "edit" << true << 0 << "new:Archive mail"
                                                      << "2";
        QTest::newRow("edit, the call renamed")
            << "edit" << true << 0 << "update Calls set Title='Zebra' where ID=2"
            << "2";
        QTest::newRow("edit of the last row") << "edit" << false << 2 << ""
                                              << "3";
        QTest::newRow("edit, the call deleted meanwhile")
            << "edit" << false << 1 << "delete from Calls where ID=2"
            << "3";
        QTest::newRow("add") << "add" << true << 2 << "new:Aardvark"
                             << "4";
        QTest::newRow("add at the end of a long list")
            << "add" << false << 0
            << "insert into Calls (Title,[Assigned To],[Opened By],[Opened Date],Status,Category,"
               "Priority,[Due Date],Caller,[Call Time]) with recursive n(i) as (select 1 union "
               "all select i+1 from n where i<80) select 'More',1,1,'2021-03-04','Open',"
               "'General','Low','2021-03-05',1,'2021-03-04' from n"
            << "83";
        QTest::newRow("add cancelled") << "add" << true << 1 << ""
                                       << "1";
        QTest::newRow("delete") << "delete" << false << 1 << ""
                                << "3";
        QTest::newRow("delete in a sorted list") << "delete" << true << 0 << ""
                                                 << "1";
        QTest::newRow("delete of the last row") << "delete" << false << 2 << ""
                                                << "2";
    }

    void theSelectionFollowsTheCall() {
        QFETCH(QString, command);
        QFETCH(bool, sortByTitle);
        QFETCH(int, clickedRow);
        QFETCH(QString, meanwhile);
        QFETCH(QString, selected);
        TestEnvironment env;
        ScriptedPrompts prompts;
        auto window = startProgram();
        addThreeCalls(*window);
        if (sortByTitle)
            clickHeader(*window, 1);
        clickRow(*window, clickedRow);
        Handed handed;
        closeEditor(prompts, handed, [&] {
            if (meanwhile.startsWith("new:"))
                addCall("'" + meanwhile.mid(4) + "'");
            else if (!meanwhile.isEmpty())
                Exec(meanwhile);
        });
        prompts.answer(Prompts::Yes);
        QPushButton* button = command == "edit"  ? window->PushButton1
                              : command == "add" ? window->PushButton2
                                                 : window->PushButton3;
        QTest::mouseClick(button, Qt::LeftButton);

        QCOMPARE(selectedId(*window), selected);
        QCOMPARE(window->ListView1->currentIndex().row(), window->selectedRow());
        const QRect shown = window->ListView1->visualRect(window->ListView1->currentIndex());
        QVERIFY(window->ListView1->viewport()->rect().contains(shown.center()));
        QVERIFY(prompts.errorReports().empty());
    }

    // The row the list marks as current is the selected one, so Edit acts on what is seen.
    void whatLooksSelectedIsSelected() {
        TestEnvironment env;
        ScriptedPrompts prompts;
        env.openSharedConnection();
        addPeopleAndValues();
        addCall("'Printer jams'");
        addCall("'Mail is slow'");
        ReleaseSharedConnection();
        auto window = StartProgram();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        window->ListView1->setFocus();
        QTRY_VERIFY(window->ListView1->currentIndex().isValid());
        QCOMPARE(window->selectedRow(), window->ListView1->currentIndex().row());
        Handed handed;
        closeEditor(prompts, handed);
        QTest::mouseClick(window->PushButton1, Qt::LeftButton);
        QCOMPARE(handed.id, cell(*window, window->ListView1->currentIndex().row(), 0));

        // Without a selection nothing is current either.
        window->ListView1->clearSelection();
        QVERIFY(!window->ListView1->currentIndex().isValid());
        QTest::keyClick(window->ListView1, Qt::Key_Down);
        QCOMPARE(window->selectedRow(), window->ListView1->currentIndex().row());
        QVERIFY(window->selectedRow() >= 0);
    }

    void keyboardAndMouseReachTheCommands() {
        TestEnvironment env;
        ScriptedPrompts prompts;
        auto window = startProgram();
        addThreeCalls(*window);
        Handed handed;

        // Double-click on a row edits it.
        closeEditor(prompts, handed);
        doubleClickRow(*window, 2);
        QCOMPARE(prompts.modalCount, 1);
        QCOMPARE(handed.id, QStringLiteral("3"));
        QCOMPARE(handed.caption, QStringLiteral("Edit Data"));

        // Enter on the selected row edits it.
        clickRow(*window, 0);
        closeEditor(prompts, handed);
        QTest::keyClick(window->ListView1, Qt::Key_Return);
        QCOMPARE(prompts.modalCount, 2);
        QCOMPARE(handed.id, QStringLiteral("1"));
        QCOMPARE(handed.caption, QStringLiteral("Edit Data"));
        closeEditor(prompts, handed);
        QTest::keyClick(window->ListView1, Qt::Key_Enter);
        QCOMPARE(prompts.modalCount, 3);

        // Ctrl+N adds.
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        window->ListView1->setFocus();
        closeEditor(prompts, handed);
        QTest::keyClick(window->ListView1, Qt::Key_N, Qt::ControlModifier);
        QCOMPARE(prompts.modalCount, 4);
        QCOMPARE(handed.id, QString());
        QCOMPARE(handed.caption, QStringLiteral("Add New Call"));

        // The Delete key asks the same question as the button.
        clickRow(*window, 2);
        prompts.answer(Prompts::No);
        QTest::keyClick(window->ListView1, Qt::Key_Delete);
        QCOMPARE(prompts.texts(), QStringList({kDeleteQuestion.arg("Screen flickers")}));
        QCOMPARE(prompts.boxes[0].style, Prompts::YesNo | Prompts::DefaultButton2);
        prompts.answer(Prompts::Yes);
        QTest::keyClick(window->ListView1, Qt::Key_Delete);
        QCOMPARE(Rows("select ID from Calls order by ID"), QStringList({"1", "2"}));
        QCOMPARE(listedIds(*window), QStringList({"1", "2"}));
    }

    // A box or the editor, closed, gives the keyboard back to the window that opened it and
    // the control that had it there: the list with its selection, so that Ctrl+N works again.
    void theKeyboardComesBackAfterABox_data() {
        QTest::addColumn<QString>("command");
        QTest::newRow("Help, Enter on its box") << "help";
        QTest::newRow("Add, Save, Enter on the box") << "save";
        QTest::newRow("Add, Cancel") << "cancel";
        QTest::newRow("Add, Save twice over") << "save,save";
    }
    void theKeyboardComesBackAfterABox() {
        QFETCH(QString, command);
        TestEnvironment env;
        auto window = startProgram();
        window->LoadCalls();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        window->ListView1->setFocus();
        const auto pressEnterOnTheBox = [] {
            QTimer::singleShot(0, [] {
                if (QWidget* box = QApplication::activeModalWidget())
                    QTest::keyClick(box, Qt::Key_Return);
            });
        };
        for (const QString& step : command.split(',')) {
            QWidget* focused = window->ListView1;
            if (step == "help") {
                // From the keyboard: Tab to Help, then Space.
                focused = window->PushButton6;
                focused->setFocus(Qt::TabFocusReason);
                pressEnterOnTheBox();
                QTest::keyClick(window->PushButton6, Qt::Key_Space);
            } else {
                QTimer::singleShot(0, [&] {
                    auto* editor = qobject_cast<Form2*>(QApplication::activeModalWidget());
                    QVERIFY(editor);
                    if (step == "cancel") {
                        editor->PushButton1->click();
                        return;
                    }
                    editor->Text1->setText(QStringLiteral("Printer jams"));
                    for (QComboBox* list : {editor->Combo1, editor->Combo2, editor->Combo6,
                                            editor->Combo3, editor->Combo4, editor->Combo5})
                        list->setCurrentIndex(0);
                    pressEnterOnTheBox();
                    editor->PushButton2->click();
                });
                QTest::keyClick(window->ListView1, Qt::Key_N, Qt::ControlModifier);
            }
            QCOMPARE(QApplication::activeModalWidget(), nullptr);
            QTRY_COMPARE(QApplication::activeWindow(), window.get());
            QCOMPARE(QApplication::focusWidget(), focused);
        }
        QCOMPARE(Count("select count(*) from Calls"), int(command.count("save")));
    }

    // Ctrl with "+", "-" and "0" zoom the list's text and rows, within the steps; the zoom
    // comes back at the next start.
    void ctrlPlusMinusZeroZoomTheList_data() {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<int>("percent");
        QTest::newRow("none") << "" << 100;
        QTest::newRow("Ctrl++") << "+" << 110;
        QTest::newRow("Ctrl+Shift++, Ctrl+=") << "P=" << 125;
        QTest::newRow("Ctrl+-") << "-" << 90;
        QTest::newRow("in, then Ctrl+0") << "++0" << 100;
        QTest::newRow("out to the smallest and once more") << "------" << 50;
        QTest::newRow("in to the largest and once more") << "++++++++" << 300;
    }
    void ctrlPlusMinusZeroZoomTheList() {
        QFETCH(QString, keys);
        QFETCH(int, percent);
        TestEnvironment env;
        ScriptedPrompts prompts;
        env.openSharedConnection();
        Exec("insert into Calls (Title,[Opened Date],[Due Date]) values ('x','2021-01-01',"
             "'2021-01-02')");
        ReleaseSharedConnection();
        double usual = 0;
        for (int start = 0; start < 2; ++start) {
            auto window = StartProgram();
            if (start == 0)
                usual = window->ListView1->font().pointSizeF();
            QTRY_COMPARE(window->ListView1->model()->rowCount(), 1);
            window->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(window.get()));
            const int rowHeight = window->ListView1->rowHeight(0);
            for (const QChar key : start == 0 ? keys : QString()) {
                if (key == 'P')
                    QTest::keyClick(window.get(), Qt::Key_Plus,
                                    Qt::ControlModifier | Qt::ShiftModifier);
                else
                    QTest::keyClick(window.get(), key.toLatin1(), Qt::ControlModifier);
            }
            QCOMPARE(window->ListView1->font().pointSizeF(), usual * percent / 100);
            if (start == 0 && percent != 100)
                QVERIFY((window->ListView1->rowHeight(0) > rowHeight) == (percent > 100));
            QVERIFY(prompts.boxes.empty());
        }
    }

    void helpNamesTheContactPage() {
        TestEnvironment env;
        ScriptedPrompts prompts;
        auto window = startProgram();
        QTest::mouseClick(window->PushButton6, Qt::LeftButton);
        QCOMPARE(prompts.boxes.size(), size_t(1));
        const ShownBox& box = prompts.boxes[0];
        QCOMPARE(box.text, "Questions? Please contact Team Merrowfen at " +
                               QStringLiteral(QUORVANE_CONTACT_PAGE));
        QVERIFY(box.text.endsWith(QStringLiteral("/contact/")));
        QCOMPARE(box.style, 0);
        QCOMPARE(shownTitle(box), AppTitle());
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_main_window.moc"
