// Start-up of the main window: the data folder, the first-run copy of the template, the
// database file and the shared connection.
#include "app/main_window.h"
#include "data/shared_connection.h"
#include "list/call_list_model.h"
#include "startup_fixture.h"
#include "test_support.h"
#include "ui/app_paths.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QRegularExpression>
#include <QSettings>
#include <QTest>
#include <QTreeView>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <memory>
#include <sys/resource.h>
#include <unistd.h>

namespace {

const QStringList kCaptions = {"ID",          "Title",       "Caller",        "Assigned To",
                               "Priority",    "Status",      "Category",      "Due Date",
                               "Opened Date", "Resolved By", "Resolved Time", "Opened By"};

// The questions asked when the database would not open (Retry, Continue, Quit).
std::vector<ShownBox> openQuestions(const ScriptedPrompts& prompts) {
    std::vector<ShownBox> questions;
    for (const ShownBox& box : prompts.boxes) {
        if ((box.style & 7) == Prompts::AbortRetryIgnore)
            questions.push_back(box);
    }
    return questions;
}

QStringList headerCaptions(const Form1& window) {
    QStringList captions;
    const QAbstractItemModel* model = window.ListView1->model();
    for (int i = 0; i < model->columnCount(); ++i)
        captions << model->headerData(i, Qt::Horizontal, Qt::DisplayRole).toString();
    return captions;
}

} // namespace

class TestStartup : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

    void firstRunCreatesTheFoldersAndCopiesTheTemplate() {
        TestEnvironment env;
        ScriptedPrompts prompts;
        QVERIFY(!QFileInfo::exists(env.dataHome() + "/Merrowfen"));

        auto window = StartProgram();

        QVERIFY(QFileInfo(env.dataHome() + "/Merrowfen").isDir());
        QVERIFY(QFileInfo(env.dataFolder()).isDir());
        QVERIFY(QFileInfo(env.databasePath()).isFile());
        QCOMPARE(contentOf(env.databasePath()), contentOf(env.programFolder() + "/dbBlank.mdb"));
        QVERIFY(QFileInfo(env.databasePath()).isWritable());

        QVERIFY(prompts.boxes.empty());
        QVERIFY(window->isVisible());
        QCOMPARE(window->windowTitle(), QStringLiteral("Quorvane"));
        QCOMPARE(window->windowState(), Qt::WindowNoState);
        QVERIFY(!window->WasMaximized);
        QCOMPARE(window->ListView1->model()->rowCount(), 0);
        QCOMPARE(headerCaptions(*window), kCaptions);
        // 1200 twips, then 1500 twips for every other column.
        QCOMPARE(columnWidths(*window), defaultWidths());
        QVERIFY(HasSharedConnection());
        QCOMPARE(SharedConnection().state(), 1);
        QCOMPARE(SharedConnection().path(), env.databasePath());
        // Nothing is written to the settings before shutdown.
        QVERIFY(!QFileInfo::exists(settingsPath(env)));
    }

    void aReadOnlyTemplateGivesAWritableDatabase() {
        TestEnvironment env;
        ScriptedPrompts prompts;
        const QString blank = env.programFolder() + "/dbBlank.mdb";
        QVERIFY(QFile::setPermissions(blank, QFileDevice::ReadOwner | QFileDevice::ReadGroup |
                                                 QFileDevice::ReadOther));
        auto window = StartProgram();
        QVERIFY(prompts.boxes.empty());
        QVERIFY(QFileInfo(env.databasePath()).permissions() & QFileDevice::WriteOwner);
        addCallDirectly("Written to the copy");
        window->LoadCalls();
        QCOMPARE(window->ListView1->model()->rowCount(), 1);
        // The template itself stays as installed.
        QCOMPARE(QFileInfo(blank).permissions() & QFileDevice::WriteOwner,
                 QFileDevice::Permissions());
    }

    void theConnectionStringEndsWithAnEmptyPassword() {
        TestEnvironment env;
        const QString text = Form1::ConnectionString();
        QCOMPARE(text, "provider=microsoft.jet.oledb.4.0;data source=" + env.dataHome() +
                           "\\Merrowfen\\Quorvane\\dbData.mdb;JET OLEDB:Database Password=");
        QVERIFY(text.endsWith(QStringLiteral("Database Password=")));
        QCOMPARE(Form1::DataFolder(), env.dataFolder());
    }

    void aDataHomeWithASemicolonWorks() {
        TestEnvironment env;
        ScriptedPrompts prompts;
        const QString home = env.dataHome() + "/notes;old";
        QVERIFY(QDir().mkpath(home));
        qputenv("XDG_DATA_HOME", home.toUtf8());
        auto window = StartProgram();
        QVERIFY(prompts.boxes.empty());
        QVERIFY(QFileInfo(home + "/Merrowfen/Quorvane/dbData.mdb").isFile());
        QCOMPARE(SharedConnection().path(), home + "/Merrowfen/Quorvane/dbData.mdb");
    }

    void aDeletedDatabaseIsCopiedAfresh() {
        TestEnvironment env;
        ScriptedPrompts prompts;
        StartProgram()->close();
        QVERIFY(QFile::remove(env.databasePath()));

        auto window = StartProgram();
        QVERIFY(prompts.boxes.empty());
        QCOMPARE(contentOf(env.databasePath()), contentOf(env.programFolder() + "/dbBlank.mdb"));
        QCOMPARE(SharedConnection().state(), 1);
        QCOMPARE(window->ListView1->model()->rowCount(), 0);
    }

    void anExistingDatabaseIsNeverOverwritten() {
        TestEnvironment env;
        ScriptedPrompts prompts;
        env.openSharedConnection();
        addCallDirectly("First");
        addCallDirectly("Second");
        ReleaseSharedConnection();
        const QByteArray database = contentOf(env.databasePath());

        auto window = StartProgram();
        QVERIFY(prompts.boxes.empty());
        QCOMPARE(contentOf(env.databasePath()), database);
        QCOMPARE(window->ListView1->model()->rowCount(), 2);
        QCOMPARE(Count("select count(*) from Calls"), 2);
    }

    void aFileWhereTheVendorFolderShouldBe() {
        TestEnvironment env;
        ScriptedPrompts prompts;
        writeFile(env.dataHome() + "/Merrowfen", "not a folder");

        auto window = StartProgram();

        // The file counts as existing: no folder is made, and the later steps fail.
        QVERIFY(QFileInfo(env.dataHome() + "/Merrowfen").isFile());
        QCOMPARE(contentOf(env.dataHome() + "/Merrowfen"), QByteArray("not a folder"));
        // The open that follows asks what to do; the list that cannot be read is not
        // reported again.
        QCOMPARE(reportedLines(prompts), QList<int>({106, 110}));
        QVERIFY(prompts.errorReports().front().text.contains("can be written"));
        QCOMPARE(openQuestions(prompts).size(), size_t(1));
        QCOMPARE(prompts.boxes.size(), size_t(3));
        QVERIFY(window->isVisible());
        QCOMPARE(window->ListView1->model()->rowCount(), 0);
        QCOMPARE(headerCaptions(*window), kCaptions);
        QCOMPARE(columnWidths(*window), defaultWidths());
        window->close();
    }

    void aMissingTemplateIsReportedAndTheWindowStillOpens() {
        TestEnvironment env;
        ScriptedPrompts prompts;
        QVERIFY(QFile::remove(env.programFolder() + "/dbBlank.mdb"));

        auto window = StartProgram();

        QCOMPARE(reportedLines(prompts), QList<int>({110}));
        const auto reports = prompts.errorReports();
        QVERIFY(reports[0].text.contains("dbBlank.mdb"));
        QVERIFY(reports[0].text.contains("Install the program again"));
        QCOMPARE(openQuestions(prompts).size(), size_t(1));
        QVERIFY(openQuestions(prompts).front().text.contains("dbData.mdb"));
        QVERIFY(QFileInfo(env.dataFolder()).isDir());
        QVERIFY(!QFileInfo::exists(env.databasePath()));
        QVERIFY(window->isVisible());
        QCOMPARE(window->ListView1->model()->rowCount(), 0);
        QCOMPARE(headerCaptions(*window), kCaptions);

        // Shutdown still saves the settings and ends cleanly.
        prompts.clear();
        window->close();
        QVERIFY(prompts.boxes.empty());
        QVERIFY(QFileInfo::exists(settingsPath(env)));
        QVERIFY(!HasSharedConnection());
    }

    void aCopyCutShortNamesTheCauseAndLeavesNoHalfFile() {
        TestEnvironment env;
        ScriptedPrompts prompts;
        // Files may grow to 16 KiB only, so the first copy of the template runs out of room as
        // on a full disk.
        auto window = [] {
            const FileSizeLimit small{16384};
            return StartProgram();
        }();

        QCOMPARE(reportedLines(prompts), QList<int>({110}));
        QCOMPARE(openQuestions(prompts).size(), size_t(1));
        const QString description = prompts.errorReports().front().text.section("\r\n", 0, 0);
        QVERIFY2(
            description.contains(QString::fromLocal8Bit(strerror(EFBIG)), Qt::CaseInsensitive) &&
                !description.contains("Unknown error"),
            qPrintable(description));
        QVERIFY(!QFileInfo::exists(env.databasePath()));
        QCOMPARE(QDir(env.dataFolder()).entryList(QDir::Files), QStringList());
        // The next start makes the whole copy.
        window->close();
        prompts.clear();
        window = StartProgram();
        QVERIFY(prompts.errorReports().empty());
        QCOMPARE(contentOf(env.databasePath()), contentOf(env.programFolder() + "/dbBlank.mdb"));
    }

    void aDatabaseThatCannotBeReadIsReported_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("garbage") << QByteArray(4096, '\x07');
        QTest::newRow("text") << QByteArray("These are my notes, not a database.\n");
        QTest::newRow("a folder") << QByteArray("<folder>");
        QTest::newRow("no permission to read") << QByteArray("<no permission>");
    }

    void aDatabaseThatCannotBeReadIsReported() {
        QFETCH(QByteArray, content);
        TestEnvironment env;
        ScriptedPrompts prompts;
        const bool folder = content == "<folder>";
        if (folder) {
            QVERIFY(QDir().mkpath(env.databasePath()));
        } else if (content == "<no permission>") {
            if (geteuid() == 0)
                QSKIP("Permissions do not keep the superuser from reading a file.");
            env.installDatabase();
            QVERIFY(QFile::setPermissions(env.databasePath(), QFileDevice::Permissions()));
            content = contentOf(env.databasePath());
        } else {
            writeFile(env.databasePath(), content);
        }

        auto window = StartProgram();

        // One question (Retry, Continue, Quit); the list that cannot be filled is not reported.
        QVERIFY(prompts.errorReports().empty());
        QCOMPARE(openQuestions(prompts).size(), size_t(1));
        QCOMPARE(prompts.boxes.size(), size_t(1));
        const QString description = prompts.boxes.front().text.section("\r\n", 0, 0);
        QVERIFY2(description.contains(env.databasePath()), qPrintable(description));
        if (folder) {
            QVERIFY2(description.contains("is a folder"), qPrintable(description));
            QVERIFY(QFileInfo(env.databasePath()).isDir());
        } else {
            QVERIFY2(description.contains("cannot", Qt::CaseInsensitive) ||
                         description.contains("not a database"),
                     qPrintable(description));
            // The file is left as it was.
            QCOMPARE(contentOf(env.databasePath()), content);
        }
        QVERIFY(window->isVisible());
        QCOMPARE(window->ListView1->model()->rowCount(), 0);
    }
};

QTEST_MAIN(TestStartup)
#include "test_startup.moc"
