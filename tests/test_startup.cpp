// Start-up and shutdown of the main window: the data folder, the first-run copy of the
// template, the shared connection, the list columns and the settings kept between runs.
#include "app/call_list_model.h"
#include "app/main_window.h"
#include "data/shared_connection.h"
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

QByteArray contentOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& content) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(content);
}

QString settingsPath(const TestEnvironment& env) {
    return env.configHome() + "/Merrowfen/Merrowfen.ini";
}

// The line numbers of the error reports shown, checking that each names `procedure`.
QList<int> reportedLines(const ScriptedPrompts& prompts,
                         const QString& procedure = QStringLiteral("Form_Load")) {
    const QRegularExpression pattern("\r\nin Quorvane2021/08/31\\.Form1\\." + procedure +
                                     " at line (\\d+)(\r\n\u2026 and \\d+ more \\w+)?\r\r");
    QList<int> lines;
    for (const ShownBox& box : prompts.errorReports()) {
        const QRegularExpressionMatch match = pattern.match(box.text);
        lines << (match.hasMatch() ? match.captured(1).toInt() : -1);
    }
    return lines;
}

// The questions asked when the database would not open (Retry, Continue, Quit).
std::vector<ShownBox> openQuestions(const ScriptedPrompts& prompts) {
    std::vector<ShownBox> questions;
    for (const ShownBox& box : prompts.boxes) {
        if ((box.style & 7) == Prompts::AbortRetryIgnore)
            questions.push_back(box);
    }
    return questions;
}

QList<int> columnWidths(const Form1& window) {
    QList<int> widths;
    for (int i = 0; i < window.ListView1->header()->count(); ++i)
        widths << window.ListView1->header()->sectionSize(i);
    return widths;
}

QList<int> defaultWidths() {
    QList<int> widths{80};
    for (int i = 1; i < 12; ++i)
        widths << 100;
    return widths;
}

QStringList headerCaptions(const Form1& window) {
    QStringList captions;
    const QAbstractItemModel* model = window.ListView1->model();
    for (int i = 0; i < model->columnCount(); ++i)
        captions << model->headerData(i, Qt::Horizontal, Qt::DisplayRole).toString();
    return captions;
}

void addCallDirectly(const QString& title) {
    Exec("insert into Calls (Title,[Opened Date],[Due Date],[Call Time]) values ('" + title +
         "','2021-03-04','2021-03-05','2021-03-04')");
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

    void shutdownSavesWidthsAndStateAndTheNextRunRestoresThem() {
        TestEnvironment env;
        ScriptedPrompts prompts;
        {
            auto window = StartProgram();
            addCallDirectly("Kept between runs");
            window->LoadCalls();
            QHeaderView* header = window->ListView1->header();
            header->resizeSection(0, 50);
            header->resizeSection(2, 150);
            header->resizeSection(11, 33);
            window->showMaximized();
            QTRY_VERIFY(window->isMaximized());
            window->close();
            QVERIFY(!HasSharedConnection());
        }
        QVERIFY(prompts.boxes.empty());

        // Saved as text under [Quorvane].
        const QString ini = QString::fromUtf8(contentOf(settingsPath(env)));
        QVERIFY2(ini.contains("[Quorvane]"), qPrintable(ini));
        QSettings settings(settingsPath(env), QSettings::IniFormat);
        settings.beginGroup("Quorvane");
        QCOMPARE(settings.value("ColumnHeaders1").toString(), QStringLiteral("750"));
        QCOMPARE(settings.value("ColumnHeaders2").toString(), QStringLiteral("1500"));
        QCOMPARE(settings.value("ColumnHeaders3").toString(), QStringLiteral("2250"));
        QCOMPARE(settings.value("ColumnHeaders12").toString(), QStringLiteral("495"));
        QCOMPARE(settings.value("WindowState").toString(), QStringLiteral("2"));
        QVERIFY(!settings.contains("ColumnHeaders13"));
        QVERIFY(!settings.contains("ColumnHeaders0"));

        const QByteArray database = contentOf(env.databasePath());
        auto window = StartProgram();
        QVERIFY(prompts.boxes.empty());
        QCOMPARE(contentOf(env.databasePath()), database);
        QCOMPARE(window->ListView1->model()->rowCount(), 1);
        QList<int> expected = defaultWidths();
        expected[0] = 50;
        expected[2] = 150;
        expected[11] = 33;
        QCOMPARE(columnWidths(*window), expected);
        QVERIFY(window->isMaximized());
        QVERIFY(window->WasMaximized);

        // Back to normal: the next run starts normal.
        window->showNormal();
        QTRY_VERIFY(!window->isMaximized());
        window->close();
        QCOMPARE(QSettings(settingsPath(env), QSettings::IniFormat)
                     .value("Quorvane/WindowState")
                     .toString(),
                 QStringLiteral("0"));
        auto third = StartProgram();
        QCOMPARE(third->windowState(), Qt::WindowNoState);
        QVERIFY(!third->WasMaximized);
        QCOMPARE(columnWidths(*third), expected);
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
        rlimit old{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
        const auto oldSignal = signal(SIGXFSZ, SIG_IGN);
        rlimit small = old;
        small.rlim_cur = 16384;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        auto window = StartProgram();
        setrlimit(RLIMIT_FSIZE, &old);
        signal(SIGXFSZ, oldSignal);

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

    void storedSettingsThatAreNotNumbers_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("line");
        QTest::addColumn<int>("column");
        QTest::newRow("first column, letters") << "ColumnHeaders1"
                                               << "wide" << 170 << 0;
        QTest::newRow("third column, letters") << "ColumnHeaders3"
                                               << "abc" << 174 << 2;
        QTest::newRow("last column, number and letters") << "ColumnHeaders12"
                                                         << "12x" << 174 << 11;
        QTest::newRow("empty text") << "ColumnHeaders5"
                                    << "" << 174 << 4;
        QTest::newRow("negative") << "ColumnHeaders2"
                                  << "-300" << 174 << 1;
        QTest::newRow("window state, letters") << "WindowState"
                                               << "maximized" << 180 << -1;
        QTest::newRow("window state out of range") << "WindowState"
                                                   << "3" << 180 << -1;
        QTest::newRow("window state with fraction") << "WindowState"
                                                    << "1.5" << 180 << -1;
    }

    void storedSettingsThatAreNotNumbers() {
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(int, line);
        QFETCH(int, column);
        TestEnvironment env;
        ScriptedPrompts prompts;
        writeFile(
            settingsPath(env),
            QStringLiteral("[Quorvane]\nColumnHeaders4=3000\n%1=%2\n").arg(key, value).toUtf8());

        auto window = StartProgram();

        QCOMPARE(reportedLines(prompts), QList<int>({line}));
        QList<int> expected = defaultWidths();
        expected[3] = 200;
        // The column whose width failed keeps the width the list gave it.
        if (column >= 0)
            expected[column] = window->ListView1->header()->defaultSectionSize();
        QCOMPARE(columnWidths(*window), expected);
        QCOMPARE(window->windowState(), Qt::WindowNoState);
        QVERIFY(!window->WasMaximized);
        QCOMPARE(SharedConnection().state(), 1);
    }

    void storedWidthsMayCarryAFraction() {
        TestEnvironment env;
        ScriptedPrompts prompts;
        writeFile(settingsPath(env), "[Quorvane]\nColumnHeaders1=1234.5\nColumnHeaders2=0\n"
                                     "ColumnHeaders3= 1800 \n");
        auto window = StartProgram();
        QVERIFY(prompts.boxes.empty());
        QCOMPARE(window->ListView1->header()->sectionSize(0), 82);
        QCOMPARE(window->ListView1->header()->sectionSize(1), 0);
        QCOMPARE(window->ListView1->header()->sectionSize(2), 120);
    }

    void savedWidthsReadBack_data() {
        QTest::addColumn<QString>("stored");
        QTest::newRow("just under a million") << "999999";
        QTest::newRow("huge") << "1e30";
    }

    // What shutdown writes, the next start reads without complaint.
    void savedWidthsReadBack() {
        QFETCH(QString, stored);
        TestEnvironment env;
        ScriptedPrompts prompts;
        writeFile(settingsPath(env), "[Quorvane]\nColumnHeaders2=" + stored.toUtf8() + "\n");
        auto window = StartProgram();
        const int width = window->ListView1->header()->sectionSize(1);
        QVERIFY(width > 1000);
        window->close();
        window = StartProgram();
        QCOMPARE(window->ListView1->header()->sectionSize(1), width);
        window->close();
        QVERIFY2(prompts.boxes.empty(), qPrintable(prompts.texts().join("\n")));
    }

    void aDamagedSettingsFileIsReplacedOnce() {
        TestEnvironment env;
        ScriptedPrompts prompts;
        QByteArray garbage;
        for (int i = 0; i < 4096; ++i)
            garbage.append(char((i * 7919 + 13) % 256));
        writeFile(settingsPath(env), garbage);

        auto window = StartProgram();
        window->close();
        window = StartProgram();
        window->close();

        QCOMPARE(prompts.boxes.size(), size_t(1));
        QVERIFY2(prompts.boxes.front().text.contains("has been replaced"),
                 qPrintable(prompts.boxes.front().text));
        QCOMPARE(contentOf(settingsPath(env) + ".damaged"), garbage);
        QSettings sane(settingsPath(env), QSettings::IniFormat);
        QCOMPARE(sane.value("Quorvane/ColumnHeaders1").toString(), QStringLiteral("1200"));
        QCOMPARE(sane.status(), QSettings::NoError);
    }

    void settingsThatCannotBeWrittenAreReportedAtShutdown() {
        TestEnvironment env;
        ScriptedPrompts prompts;
        auto window = StartProgram();
        QVERIFY(prompts.boxes.empty());
        // A file where the settings folder should be.
        writeFile(env.configHome() + "/Merrowfen", "in the way");

        window->close();

        // One box for the one cause, counting the settings it stopped.
        QCOMPARE(reportedLines(prompts, "Form_QueryUnload"), QList<int>({102}));
        QVERIFY(prompts.boxes.front().text.contains("\u2026 and 12 more settings\r\r"));
        QVERIFY(prompts.boxes.front().text.contains("not kept"));
        // The shutdown still closes and releases the connection.
        QVERIFY(!HasSharedConnection());
    }

    void aSavedMinimizedStateStartsMinimized() {
        TestEnvironment env;
        ScriptedPrompts prompts;
        writeFile(settingsPath(env), "[Quorvane]\nWindowState=1\n");
        auto window = StartProgram();
        QVERIFY(prompts.boxes.empty());
        QVERIFY(window->isMinimized());
        QVERIFY(window->WasMaximized);
        window->close();
        QCOMPARE(QSettings(settingsPath(env), QSettings::IniFormat)
                     .value("Quorvane/WindowState")
                     .toString(),
                 QStringLiteral("1"));
    }
};

QTEST_MAIN(TestStartup)
#include "test_startup.moc"
