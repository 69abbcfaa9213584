// Faults from outside the program: a database that will not open, is empty, read-only or
// damaged, settings full of garbage, control characters typed or pasted into text boxes.
// Each is said once, in words that say what to do, and the program goes on where it can.
#include "app/main_window.h"
#include "call_editor_fixture.h"
#include "calls/call_editor.h"
#include "data/connection.h"
#include "data/recordset.h"
#include "data/shared_connection.h"
#include "list/call_list_model.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <sqlite3.h>

namespace {

QByteArray contentOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& content) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

std::vector<ShownBox> withStyle(const ScriptedPrompts& prompts, int buttons) {
    std::vector<ShownBox> found;
    for (const ShownBox& box : prompts.boxes) {
        if ((box.style & 7) == buttons && box.title != QLatin1String("Application Error"))
            found.push_back(box);
    }
    return found;
}

// Runs SQL on a database file through a connection of its own, outside the program's.
void onFile(const QString& path, const QStringList& statements) {
    Connection connection;
    connection.open("data source=" + path);
    for (const QString& sql : statements)
        connection.execute(sql);
}

// A database of the program with `calls` calls whose comments fill many pages.
void databaseWithCalls(const TestEnvironment& env, int calls) {
    env.installDatabase();
    QStringList sql{"begin"};
    for (int i = 0; i < calls; ++i)
        sql << QStringLiteral("insert into Calls (Title,Comments,[Opened Date],[Due Date],[Call "
                              "Time]) values ('Call %1','%2','2026-01-02','2026-01-03',"
                              "'2026-01-02')")
                   .arg(i)
                   .arg(QString(300, QLatin1Char('a' + i % 26)));
    sql << "commit";
    onFile(env.databasePath(), sql);
}

} // namespace

class TestFaults : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

    void aFailedOpenAsksToRetryContinueOrQuit_data() {
        QTest::addColumn<QList<int>>("answers");
        QTest::addColumn<int>("questions");
        QTest::addColumn<bool>("quit");
        QTest::newRow("continue") << QList<int>{Prompts::Ignore} << 1 << false;
        QTest::newRow("retry twice")
            << QList<int>{Prompts::Retry, Prompts::Retry, Prompts::Ignore} << 3 << false;
        QTest::newRow("quit") << QList<int>{Prompts::Abort} << 1 << true;
    }

    void aFailedOpenAsksToRetryContinueOrQuit() {
        QFETCH(QList<int>, answers);
        QFETCH(int, questions);
        QFETCH(bool, quit);
        TestEnvironment env;
        ScriptedPrompts prompts;
        writeFile(env.databasePath(), "These are my notes.\n");
        for (int answer : answers)
            prompts.answer(answer);
        Form1 window;
        window.Form_Load();
        QCOMPARE(window.quitRequested(), quit);
        // Only the question: what the failed open stops later is not reported again.
        QCOMPARE(int(prompts.boxes.size()), questions);
        QCOMPARE(int(withStyle(prompts, Prompts::AbortRetryIgnore).size()), questions);
        QVERIFY(prompts.boxes.front().text.contains(env.databasePath()));
        QVERIFY(prompts.boxes.front().text.contains("Retry once the cause is put right"));
        QCOMPARE(contentOf(env.databasePath()), QByteArray("These are my notes.\n"));
    }

    // One box for a command that the missing database stops, and the first command after the
    // cause is gone works.
    void theNextCommandOpensTheDatabaseOnceTheCauseIsGone() {
        TestEnvironment env;
        ScriptedPrompts prompts;
        writeFile(env.databasePath(), QByteArray(4096, '\x07'));
        auto window = StartProgram();
        QCOMPARE(prompts.boxes.size(), size_t(1));

        prompts.clear();
        prompts.onModal([](QDialog& editor) { static_cast<Form2&>(editor).PushButton1_Click(); });
        window->PushButton2_Click();
        QVERIFY2(prompts.errorReports().size() == 1, qPrintable(prompts.texts().join("\n--\n")));
        QVERIFY(prompts.boxes.front().text.contains(" more statements\r\r"));

        QVERIFY(QFile::remove(env.databasePath()));
        env.installDatabase();
        onFile(env.databasePath(),
               {"insert into Status values ('Open')",
                "insert into Calls (Title,[Opened Date],[Due Date],[Call "
                "Time]) values ('Back','2026-01-02','2026-01-03','2026-01-02')"});
        prompts.clear();
        int statuses = -1;
        prompts.onModal([&](QDialog& editor) {
            statuses = static_cast<Form2&>(editor).Combo3->count();
            static_cast<Form2&>(editor).PushButton1_Click();
        });
        window->PushButton2_Click();
        QVERIFY2(prompts.boxes.empty(), qPrintable(prompts.texts().join('\n')));
        QCOMPARE(statuses, 1);
        QCOMPARE(SharedConnection().state(), 1);
        QCOMPARE(window->callList()->rowCount(), 1);
    }

    void settingsFullOfGarbageGiveOneBox() {
        TestEnvironment env;
        ScriptedPrompts prompts;
        QByteArray settings = "[Quorvane]\nWindowState=big\n";
        for (int i = 1; i <= 12; ++i)
            settings +=
                "ColumnHeaders" + QByteArray::number(i) + "=x" + QByteArray::number(i) + "\n";
        writeFile(env.configHome() + "/Merrowfen/Merrowfen.ini", settings);
        auto window = StartProgram();
        QCOMPARE(prompts.boxes.size(), size_t(1));
        const QString text = prompts.boxes.front().text;
        QVERIFY2(text.startsWith("The saved setting ColumnHeaders1 ('x1') is no column width"),
                 qPrintable(text));
        QVERIFY2(text.contains("at line 170\r\n\u2026 and 12 more settings\r\r"), qPrintable(text));
        QCOMPARE(SharedConnection().state(), 1);
    }

    void anEmptyDatabaseFileIsMadeAnew() {
        TestEnvironment env;
        ScriptedPrompts prompts;
        writeFile(env.databasePath(), QByteArray());
        auto window = StartProgram();
        QCOMPARE(contentOf(env.databasePath()), contentOf(env.programFolder() + "/dbBlank.mdb"));
        const QStringList kept = QDir(env.dataFolder()).entryList({"dbData.mdb.empty-*"});
        QCOMPARE(kept.size(), 1);
        QCOMPARE(QFileInfo(env.dataFolder() + "/" + kept.front()).size(), 0);
        QCOMPARE(prompts.boxes.size(), size_t(1));
        QVERIFY(prompts.boxes.front().text.contains(kept.front()));
        QCOMPARE(SharedConnection().state(), 1);
        QVERIFY(!SharedConnection().readOnly());
    }

    void aReadOnlyDatabaseIsSaidAtStartAndNothingIsWritten() {
        TestEnvironment env;
        ScriptedPrompts prompts;
        databaseWithCalls(env, 2);
        QVERIFY(QFile::setPermissions(env.databasePath(),
                                      QFileDevice::ReadOwner | QFileDevice::ReadUser));
        const QByteArray before = contentOf(env.databasePath());
        auto window = StartProgram();
        QCOMPARE(prompts.boxes.size(), size_t(1));
        QVERIFY(prompts.boxes.front().text.contains("is read-only"));
        QCOMPARE(window->callList()->rowCount(), 2);

        prompts.clear();
        window->selectRow(0);
        window->PushButton3_Click(); // delete, answered Yes
        QCOMPARE(prompts.errorReports().size(), size_t(1));
        QVERIFY(prompts.errorReports().front().text.contains("nothing can be saved"));
        QCOMPARE(window->callList()->rowCount(), 2);
        QCOMPARE(contentOf(env.databasePath()), before);
    }

    void aDamagedFileIsSaidOnceAndNotWrittenInto() {
        TestEnvironment env;
        ScriptedPrompts prompts;
        databaseWithCalls(env, 400);
        const QString backup = env.dataFolder() + "/backups/dbData-2026-12-01.mdb";
        QDir().mkpath(env.dataFolder() + "/backups");
        QVERIFY(QFile::copy(env.databasePath(), backup));
        // Pages in the middle of the calls are overwritten (found by the engine's own count of
        // the table's pages, wherever the schema's other tables put them).
        int middle = 0;
        {
            Connection file;
            file.open("data source=" + env.databasePath());
            Recordset pages;
            pages.open("select pageno from dbstat where name = 'Calls' order by pageno", file);
            QList<int> calls;
            for (; !pages.eof(); pages.moveNext())
                calls << int(pages.field(0).toInteger());
            QVERIFY(calls.size() > 6);
            middle = (calls.at(calls.size() / 2) - 1) * 4096;
        }
        QByteArray bytes = contentOf(env.databasePath());
        const int page = 4096;
        bytes.replace(middle, 3 * page, QByteArray(3 * page, '\xa5'));
        writeFile(env.databasePath(), bytes);

        auto window = StartProgram();
        QVERIFY2(prompts.errorReports().size() == 1, qPrintable(prompts.texts().join("\n--\n")));
        const QString said = prompts.errorReports().front().text;
        QVERIFY2(said.contains("damaged") && said.contains("quorvane --restore '" + backup + "'"),
                 qPrintable(said));
        QVERIFY(SharedConnection().damaged());
        QVERIFY(window->callList()->rowCount() < 400);

        // Nothing more is written into the file; each command says so once, shortly.
        prompts.clear();
        window->selectRow(0);
        window->PushButton3_Click();
        QCOMPARE(prompts.errorReports().size(), size_t(1));
        QVERIFY(prompts.errorReports().front().text.contains("nothing is written to it"));
        QCOMPARE(contentOf(env.databasePath()), bytes);
    }

    void aDatabaseOfAnotherProgramSaysWhatToDo() {
        TestEnvironment env;
        ScriptedPrompts prompts;
        QDir().mkpath(env.dataFolder());
        sqlite3* db = nullptr;
        QCOMPARE(sqlite3_open(env.databasePath().toUtf8().constData(), &db), SQLITE_OK);
        QCOMPARE(sqlite3_exec(db, "create table notes (text)", nullptr, nullptr, nullptr),
                 SQLITE_OK);
        sqlite3_close(db);
        auto window = StartProgram();
        QCOMPARE(prompts.boxes.size(), size_t(1));
        QVERIFY(prompts.boxes.front().text.contains("not a database of this program. Move it"));
        QCOMPARE(window->callList()->rowCount(), 0);
    }

    // Control characters cannot be seen in a box and stop the engine: they are removed as
    // they are typed or pasted; the comments keep tabs and line breaks.
    void controlCharactersAreKeptOutOfTextBoxes_data() {
        QTest::addColumn<QString>("pasted");
        QTest::addColumn<QString>("oneLine");
        QTest::addColumn<QString>("severalLines");
        QTest::newRow("NUL") << QString("a") + QChar(0) + "b"
                             << "ab"
                             << "ab";
        QTest::newRow("bell and escape") << "x\x07y\x1bz"
                                         << "xyz"
                                         << "xyz";
        QTest::newRow("tab and line breaks") << "1\t2\r\n3\n4"
                                             << "1 2 3 4"
                                             << "1\t2\n3\n4";
        QTest::newRow("C1 and delete") << QString("p") + QChar(0x85) + "q" + QChar(0x7f) << "pq"
                                       << "pq";
    }

    void controlCharactersAreKeptOutOfTextBoxes() {
        QFETCH(QString, pasted);
        QFETCH(QString, oneLine);
        QFETCH(QString, severalLines);
        EditorData data;
        Form2 editor;
        openEditor(editor, QString());
        data.prompts.type(pasted);
        editor.PushButton7_Click();
        fillRequired(editor);
        editor.Text1->clear();
        editor.Text1->insert(pasted);
        editor.Text3->insertPlainText(pasted);
        QCOMPARE(editor.Text1->text(), oneLine);
        QCOMPARE(editor.Text3->toPlainText(), severalLines);
        clickSave(editor);
        QCOMPARE(data.prompts.texts(), QStringList({"Record Successfully Saved"}));
        QCOMPARE(Rows("select Title, Comments from Calls"),
                 QStringList({oneLine + "|" + severalLines}));
        QCOMPARE(Count("select count(*) from Status where Status='" + oneLine + "'"), 1);
    }
};

QTEST_MAIN(TestFaults)
#include "test_faults.moc"
