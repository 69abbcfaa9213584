// The calls that other desks add, change and delete on the database server reach the main
// window's list by themselves, with the person's view kept and open windows left alone.
#include "app/live_refresh.h"
#include "app/main_window.h"
#include "calls/call_editor.h"
#include "data/connection.h"
#include "list/call_list_model.h"
#include "list/call_list_tools.h"
#include "list/find_bar.h"
#include "test_support.h"

#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeView>

namespace {

const char* const kServerOnly = "other desks exist only on a database server: this suite runs "
                                "as test_live_refresh_server";

void addCall(const QString& title) {
    Exec("insert into Calls (Title,[Assigned To],[Opened By],[Opened Date],Status,Category,"
         "Priority,[Due Date],Caller,[Call Time]) values ('" +
         title + "',1,1,'2021-03-04','Busy','Misc','Low','2021-03-05',1,'2021-03-04')");
}

// What the list shows: "title|assigned to" per listed row, then the number of calls.
QStringList shown(const Form1& window) {
    QStringList rows;
    const CallListModel* model = window.callList();
    for (int row = 0; row < model->rowCount(); ++row)
        rows << model->text(row, 1) + '|' + model->text(row, 3);
    rows << QStringLiteral("%1 calls").arg(model->totalRowCount());
    return rows;
}

QString selectedTitle(const Form1& window) {
    const int row = window.selectedRow();
    return row < 0 ? QString() : window.callList()->text(row, 1);
}

void clickTitle(Form1& window, const QString& title) {
    const CallListModel* model = window.callList();
    for (int row = 0; row < model->rowCount(); ++row) {
        if (model->text(row, 1) == title) {
            const QRect rect = window.ListView1->visualRect(model->index(row, 1));
            QTest::mouseClick(window.ListView1->viewport(), Qt::LeftButton, Qt::NoModifier,
                              rect.center());
            return;
        }
    }
    QFAIL(qPrintable("no call " + title));
}

// A click on the Title header, twice: titles from Z to A.
void sortByTitleDescending(Form1& window) {
    QHeaderView* header = window.ListView1->header();
    for (int click = 0; click < 2; ++click)
        QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier,
                          QPoint(header->sectionViewportPosition(1) + 5, header->height() / 2));
}

// Another desk: a connection of its own to the same database.
struct OtherDesk {
    explicit OtherDesk(const QString& uri) { connection.open(uri); }
    void run(const QString& sql) { connection.execute(sql); }
    Connection connection;
};

} // namespace

class TestLiveRefresh : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }
    void init() {
        if (!TestEnvironment::onServer())
            return;
        m_env = std::make_unique<TestEnvironment>();
        m_window = StartProgram();
        Exec("insert into Employees ([First Name],[Last Name]) values ('John','Wilson')");
        Exec("insert into Customers ([First Name],[Last Name]) values ('Hanna','Simmons')");
        Exec("insert into [Status] values ('Busy')");
        Exec("insert into [Categories] values ('Misc')");
        Exec("insert into [Priorities] values ('Low')");
        for (const char* title : {"Printer jams", "Mail is slow", "Screen flickers", "Phone dead"})
            addCall(title);
        m_window->LoadCalls();
        m_other = std::make_unique<OtherDesk>(m_env->serverUri());
    }
    void cleanup() {
        m_other.reset();
        if (m_window)
            m_window->close();
        m_window.reset();
        m_env.reset();
    }

    // Two windows on one local file follow each other's changes as desks on a server do;
    // the window's own changes are listed by its command alone.
    void localFileFollowsAnotherWindow_data() {
        QTest::addColumn<QString>("statement"); // of the other window; empty: of this one
        QTest::addColumn<QStringList>("titles");
        QTest::addColumn<int>("rebuilds");
        QTest::newRow("added") << "insert into Calls (Title) values ('Fax on hold')"
                               << QStringList{"Printer jams", "Fax on hold"} << 1;
        QTest::newRow("deleted") << "delete from Calls" << QStringList{} << 1;
        QTest::newRow("own change") << "" << QStringList{"Printer jams", "Own call"} << 0;
    }
    void localFileFollowsAnotherWindow() {
        if (TestEnvironment::onServer())
            QSKIP("about the local file");
        QFETCH(QString, statement);
        QFETCH(QStringList, titles);
        QFETCH(int, rebuilds);
        TestEnvironment env;
        auto window = StartProgram();
        addCall("Printer jams");
        window->LoadCalls();
        QVERIFY(window->liveRefresh());
        OtherDesk other(Form1::ConnectionString());
        if (statement.isEmpty()) {
            addCall("Own call");
            window->LoadCalls();
            QTest::qWait(600); // a look at the file and more
        } else {
            other.run(statement);
        }
        QTRY_COMPARE_WITH_TIMEOUT(window->liveRefresh()->rebuilds(), rebuilds, 1000);
        QStringList listed;
        for (int row = 0; row < window->callList()->rowCount(); ++row)
            listed << window->callList()->text(row, 1);
        QCOMPARE(listed, titles);
    }

    void othersChangesAreListedKeepingTheView_data() {
        QTest::addColumn<QString>("statement");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<QString>("selected");
        const QString john = "|John Wilson";
        QTest::newRow("added") << "insert into Calls (Title,[Assigned To]) values ('Server down',1)"
                               << QStringList{"Server down" + john, "Screen flickers" + john,
                                              "Printer jams" + john, "Phone dead" + john, "5 calls"}
                               << "Printer jams";
        QTest::newRow("added, not found")
            << "insert into Calls (Title) values ('Fax on hold')"
            << QStringList{"Screen flickers" + john, "Printer jams" + john, "Phone dead" + john,
                           "5 calls"}
            << "Printer jams";
        QTest::newRow("changed") << "update Calls set Title='Mail server down' where ID=2"
                                 << QStringList{"Screen flickers" + john, "Printer jams" + john,
                                                "Phone dead" + john, "Mail server down" + john,
                                                "4 calls"}
                                 << "Printer jams";
        QTest::newRow("selected call changed")
            << "update Calls set Title='Adapter is loose' where ID=1"
            << QStringList{"Screen flickers" + john, "Phone dead" + john, "Adapter is loose" + john,
                           "4 calls"}
            << "Adapter is loose";
        QTest::newRow("deleted") << "delete from Calls where ID=3"
                                 << QStringList{"Printer jams" + john, "Phone dead" + john,
                                                "3 calls"}
                                 << "Printer jams";
        QTest::newRow("selected call deleted")
            << "delete from Calls where ID=1"
            << QStringList{"Screen flickers" + john, "Phone dead" + john, "3 calls"} << "";
        QTest::newRow("assignee renamed")
            << "update Employees set [First Name]='Jon' where ID=1"
            << QStringList{"Screen flickers|Jon Wilson", "Printer jams|Jon Wilson",
                           "Phone dead|Jon Wilson", "4 calls"}
            << "Printer jams";
    }
    void othersChangesAreListedKeepingTheView() {
        if (!TestEnvironment::onServer())
            QSKIP(kServerOnly);
        QFETCH(QString, statement);
        QFETCH(QStringList, expected);
        QFETCH(QString, selected);
        // Titles from Z to A, only those with an "e", "Printer jams" selected.
        sortByTitleDescending(*m_window);
        QApplication::setActiveWindow(m_window.get());
        QTest::keyClick(m_window.get(), Qt::Key_F, Qt::ControlModifier);
        QTest::keyClicks(m_window->tools()->findBar()->FindText, "e");
        clickTitle(*m_window, "Printer jams");
        QCOMPARE(shown(*m_window).size(), 4);

        m_other->run(statement);
        QTRY_COMPARE_WITH_TIMEOUT(shown(*m_window), expected, 1000);
        QCOMPARE(selectedTitle(*m_window), selected);
        QCOMPARE(m_window->tools()->findBar()->FindText->text(), QStringLiteral("e"));
        QCOMPARE(m_window->ListView1->header()->sortIndicatorSection(), 1);
        QCOMPARE(m_window->ListView1->header()->sortIndicatorOrder(), Qt::DescendingOrder);
    }

    // Another desk's attachment shows its paper clip at once, and its removal takes it away.
    void othersAttachmentsAreMarked() {
        if (!TestEnvironment::onServer())
            QSKIP(kServerOnly);
        CallListModel* model = m_window->callList();
        QVERIFY(!model->hasAttachments(model->rowOfId(2)));
        m_other->run("insert into attachmentcontents (hash, size) values ('x', 0)");
        m_other->run("insert into attachments (callid, name, size, content, \"added at\") values "
                     "(2, 'photo.jpg', 0, 1, changetime())");
        QTRY_VERIFY_WITH_TIMEOUT(model->hasAttachments(model->rowOfId(2)), 1000);
        QVERIFY(!model->hasAttachments(model->rowOfId(1)));
        m_other->run("update attachments set \"removed at\" = changetime()");
        QTRY_VERIFY_WITH_TIMEOUT(!model->hasAttachments(model->rowOfId(2)), 1000);
    }

    void ownChangesAreListedByTheCommandAlone() {
        if (!TestEnvironment::onServer())
            QSKIP(kServerOnly);
        const int loads = m_window->loadCount();
        addCall("Keyboard sticks");
        QTest::qWait(600);
        QCOMPARE(m_window->liveRefresh()->rebuilds(), 0);
        m_other->run("delete from Calls where Title like 'P%'");
        QTRY_COMPARE_WITH_TIMEOUT(m_window->callList()->totalRowCount(), 3, 1000);
        QCOMPARE(m_window->liveRefresh()->rebuilds(), 1);
        QCOMPARE(m_window->loadCount(), loads);
    }

    void theCallAtTheTopStaysThere() {
        if (!TestEnvironment::onServer())
            QSKIP(kServerOnly);
        Exec("insert into Calls (Title) select 'More' from Calls a, Calls b, Calls c, Calls d");
        m_window->LoadCalls();
        // Newest first, scrolled down to the call with ID 200.
        QTest::mouseClick(m_window->ListView1->header()->viewport(), Qt::LeftButton, Qt::NoModifier,
                          QPoint(5, 5));
        QTest::mouseClick(m_window->ListView1->header()->viewport(), Qt::LeftButton, Qt::NoModifier,
                          QPoint(5, 5));
        CallListModel* model = m_window->callList();
        m_window->ListView1->scrollTo(model->index(model->rowOfId(200), 0),
                                      QAbstractItemView::PositionAtTop);
        auto topId = [&] { return model->idAt(m_window->ListView1->indexAt(QPoint(0, 0)).row()); };
        QCOMPARE(topId(), 200);
        m_other->run("insert into Calls (Title) values ('Server down')");
        QTRY_COMPARE_WITH_TIMEOUT(model->totalRowCount(), 261, 1000);
        QCOMPARE(topId(), 200);
    }

    void anOpenWindowIsNotDisturbed_data() {
        QTest::addColumn<bool>("editor");
        // Changes announced before the added call, each in its own announcement.
        QTest::addColumn<QStringList>("first");
        QTest::newRow("call editor") << true << QStringList();
        QTest::newRow("modal box") << false << QStringList();
        // A list read for the first change waits for the box; the rename after it must still
        // have every call read again, though a call named alone comes after it.
        QTest::newRow("modal box, a reading waiting, then every assignee renamed")
            << false
            << QStringList{"insert into Customers ([First Name]) values ('Zed')",
                           "update Employees set [First Name]='Jon' where ID=1"};
    }
    void anOpenWindowIsNotDisturbed() {
        if (!TestEnvironment::onServer())
            QSKIP(kServerOnly);
        QFETCH(bool, editor);
        QFETCH(QStringList, first);
        QStringList after{"Server down|John Wilson",  "Screen flickers|John Wilson",
                          "Printer jams|John Wilson", "Phone dead|John Wilson",
                          "Mail is slow|John Wilson", "5 calls"};
        if (!first.isEmpty())
            after.replaceInStrings("John", "Jon");
        sortByTitleDescending(*m_window);
        const QStringList sorted = shown(*m_window);
        auto othersChangeWhileOpen = [&] {
            for (const QString& statement : first) {
                m_other->run(statement);
                QTest::qWait(500);
            }
            m_other->run("insert into Calls (Title,[Assigned To]) values ('Server down',1)");
            QTest::qWait(1000);
            QCOMPARE(shown(*m_window), sorted);
        };
        if (editor) {
            ScriptedPrompts prompts;
            QString typed;
            prompts.onModal([&](QDialog& dialog) {
                auto* form = qobject_cast<Form2*>(&dialog);
                QVERIFY(form);
                QTest::keyClicks(form->Text1, " again");
                othersChangeWhileOpen();
                typed = form->Text1->text();
                dialog.reject();
            });
            clickTitle(*m_window, "Printer jams");
            const int loads = m_window->loadCount();
            QTest::mouseClick(m_window->PushButton1, Qt::LeftButton);
            QCOMPARE(typed, QStringLiteral("Printer jams again"));
            // The list follows when the editor closes, without reading every call again.
            QCOMPARE(shown(*m_window), after);
            QTest::qWait(400);
            QCOMPARE(shown(*m_window), after);
            QCOMPARE(m_window->loadCount(), loads);
        } else {
            QDialog box(m_window.get());
            box.setModal(true);
            box.show();
            QVERIFY(QTest::qWaitForWindowExposed(&box));
            othersChangeWhileOpen();
            box.close();
            QTRY_COMPARE_WITH_TIMEOUT(shown(*m_window), after, 1000);
        }
    }

private:
    std::unique_ptr<TestEnvironment> m_env;
    std::unique_ptr<Form1> m_window;
    std::unique_ptr<OtherDesk> m_other;
};

QTEST_MAIN(TestLiveRefresh)
#include "test_live_refresh.moc"
