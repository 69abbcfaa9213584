// The database server goes away and comes back under working desks. The suite starts a
// throwaway server of its own (the other suites' server is never stopped) and stops and starts
// it as a crash would.

#include "app/main_window.h"
#include "call_editor_fixture.h"
#include "data/connection.h"
#include "data/server_link.h"
#include "data/shared_connection.h"
#include "ui/appearance.h"

#include <QAbstractItemModel>
#include <QProcess>
#include <QTreeView>

namespace {

// Runs the test server script's function `call` in bash, with the cluster's folder and port;
// answers what it printed.
QString serverScript(const QString& call, bool* ok = nullptr) {
    QProcess bash;
    bash.start(QStringLiteral("bash"),
               {QStringLiteral("-c"), QStringLiteral("source '%1/scripts/test_server.sh' && %2")
                                          .arg(QStringLiteral(QUORVANE_SOURCE_DIR), call)});
    bash.waitForFinished(120000);
    if (ok)
        *ok = bash.exitStatus() == QProcess::NormalExit && bash.exitCode() == 0;
    return QString::fromLocal8Bit(bash.readAllStandardOutput()).trimmed();
}

// A cluster of this suite's own.
struct OwnServer {
    QString folder;
    QString port;
    bool started = false;

    OwnServer() {
        bool ok = false;
        const QStringList made =
            serverScript(QStringLiteral("QUORVANE_SERVER_COMMIT=on quorvane_server_start && echo "
                                        "\"$QUORVANE_SERVER_DIR|$QUORVANE_SERVER_PORT|"
                                        "$QUORVANE_TEST_SERVER\""),
                         &ok)
                .split(QLatin1Char('|'));
        if (!ok || made.size() != 3)
            return;
        folder = made.at(0);
        port = made.at(1);
        started = true;
        // The tests' databases are made on this server.
        qputenv("QUORVANE_TEST_SERVER", made.at(2).toUtf8());
        qputenv("QUORVANE_TEST_ENGINE", "server");
    }
    ~OwnServer() {
        if (started)
            run(QStringLiteral("quorvane_server_stop"));
    }
    void run(const QString& call) {
        serverScript(QStringLiteral("QUORVANE_SERVER_DIR='%1' QUORVANE_SERVER_PORT=%2 "
                                    "QUORVANE_SERVER_COMMIT=on %3")
                         .arg(folder, port, call));
    }
    void crash() { run(QStringLiteral("quorvane_server_pause")); }
    void comeBack() { run(QStringLiteral("quorvane_server_resume")); }
};

OwnServer* server = nullptr;

} // namespace

class OutageTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        server = new OwnServer;
        if (!server->started)
            QSKIP("no database server to start");
    }
    void cleanupTestCase() { delete server; }
    void anOpenEditorSavesOnceTheServerIsBack();
    void aDeskStartedDuringAnOutageCatchesUp();
};

// What was typed survives the outage; one message says what happened; saving after the
// server is back saves the call once.
void OutageTest::anOpenEditorSavesOnceTheServerIsBack() {
    EditorData data;
    Form2 editor;
    openEditor(editor, QString());
    fillRequired(editor);
    server->crash();
    clickSave(editor);
    clickSave(editor);
    const QString uri = ServerLink::displayed(data.env.serverUri());
    // Every press answers, once.
    QCOMPARE(data.prompts.boxes.size(), size_t(2));
    QCOMPARE(data.prompts.texts().at(1), data.prompts.texts().at(0));
    QVERIFY(data.prompts.errorReports().empty());
    const QString told = data.prompts.texts().at(0);
    QVERIFY2(told.startsWith(QStringLiteral("The database server %1 cannot be reached").arg(uri)) &&
                 told.contains("Nothing you typed is lost") && !told.contains("start the program"),
             qPrintable(told));
    QVERIFY(editor.isVisible());
    QCOMPARE(editor.Text1->text(), QStringLiteral("It's down"));
    QCOMPARE(editor.Combo1->currentText(), QStringLiteral("Cora Vane"));

    server->comeBack();
    clickSave(editor);
    QCOMPARE(data.prompts.texts().last(), QStringLiteral("Record Successfully Saved"));
    QCOMPARE(Rows("select Title, Caller from Calls"), QStringList{"It's down|7"});
}

// A desk opened while the server is down says so in its caption, and lists what the other
// desks added once the server is back.
void OutageTest::aDeskStartedDuringAnOutageCatchesUp() {
    TestEnvironment env;
    ScriptedPrompts prompts;
    server->crash();
    auto window = StartProgram();
    QVERIFY2(
        window->windowTitle().startsWith(kProductTitle + " - cannot reach the database server"),
        qPrintable(window->windowTitle()));
    // One message says that it waits; nothing is asked.
    QCOMPARE(prompts.boxes.size(), size_t(1));
    QCOMPARE(prompts.boxes.front().style, int(Prompts::Exclamation));
    QVERIFY2(prompts.boxes.front().text.contains("waits for it"),
             qPrintable(prompts.boxes.front().text));
    server->comeBack();
    {
        Connection other;
        other.open(env.serverUri());
        other.execute(QStringLiteral("insert into Calls (Title) values ('Added elsewhere')"));
    }
    QTRY_COMPARE_WITH_TIMEOUT(window->ListView1->model()->rowCount(), 1, 30000);
    QTRY_COMPARE_WITH_TIMEOUT(window->windowTitle(), kProductTitle, 30000);
    // Its own connection is back too.
    QCOMPARE(Count("select count(*) from Calls"), 1);
    QCOMPARE(prompts.boxes.size(), size_t(1));
}

QTEST_MAIN(OutageTest)
#include "test_outage.moc"
