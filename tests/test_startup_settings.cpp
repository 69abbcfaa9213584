// The main window's settings kept between runs: the list's column widths and the window state
// saved at shutdown and read back at start-up, and settings that cannot be used.
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

class TestStartupSettings : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

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

QTEST_MAIN(TestStartupSettings)
#include "test_startup_settings.moc"
