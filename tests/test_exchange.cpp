// Calls brought in from CSV files: the program's own export read back as it went out, a
// spreadsheet's file read by its header names, every unreadable line named, and nothing
// written until everything can be.
#include "app/command_line.h"
#include "app/main_window.h"
#include "csv_reader.h"
#include "data/date_text.h"
#include "data/shared_connection.h"
#include "exchange/import_window.h"
#include "hostile_texts.h"
#include "list/call_list_model.h"
#include "list/call_list_tools.h"
#include "records/attachment_store.h"
#include "records/call_export.h"
#include "records/call_import.h"
#include "records/csv_records.h"
#include "test_support.h"

#include <QBuffer>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QListWidget>
#include <QPushButton>
#include <QStringEncoder>
#include <QTableWidget>
#include <QTest>
#include <tuple>

namespace {

QByteArray contentOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString quoted(QString text) {
    return "'" + text.replace("'", "''") + "'";
}

// The records of an export without the ID column, which new calls get anew.
QList<QStringList> withoutIds(QList<QStringList> records) {
    for (QStringList& record : records)
        record.removeFirst();
    return records;
}

// Every call as stored, with the names of its people, in the order of the file.
QStringList storedCalls() {
    return Rows("select Title, [Customer Name], [Assigned To Name], [Opened By Name], "
                "[Opened Date], [Due Date], Status, Category, Priority, Comments, "
                "[Resolved By Name], [Resolved Date] from [Calls Extended] order by ID");
}

void writeFile(const QString& path, const QByteArray& content) {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(content);
}

// A date as the locale shows it (and as the calls' dates read back).
QString shown(int year, int month, int day) {
    return DateText::format(QDate(year, month, day));
}

const QByteArray kHeader = "Subject;Customer;Assignee;Opened;Due;Status;Priority;Notes\r\n";

} // namespace

class TestImport : public QObject {
    Q_OBJECT
private slots:
    void init() {
        m_env = std::make_unique<TestEnvironment>();
        m_env->openSharedConnection();
        Exec("insert into Employees ([First Name],[Last Name]) values ('Ann','Lee')");
        Exec("insert into Customers ([First Name],[Last Name]) values ('Bo','Ek')");
        Exec("insert into [Status] values ('Open')");
    }
    void cleanup() { m_env.reset(); }

    // An export of the imported calls reads back the same as the file that went in.
    void exportReadsBackTheSame_data() { AddHostileTextRows(); }
    void exportReadsBackTheSame() {
        QFETCH(QString, oneLine);
        QFETCH(QString, severalLines);
        Exec("insert into Employees ([First Name],[Last Name]) values (" + quoted(oneLine) +
             ",'X')");
        Exec("insert into Customers ([First Name],[Last Name]) values ('Y'," + quoted(oneLine) +
             ")");
        Exec("insert into [Categories] values (" + quoted(oneLine) + ")");
        Exec("insert into Calls (Title,Caller,[Assigned To],[Opened By],Status,Category,Priority,"
             "Comments,[Opened Date],[Due Date],[Resolved By],[Resolved Date]) values (" +
             quoted(oneLine) +
             ",(select max(ID) from Customers),(select max(ID) from Employees),"
             "1,'Open'," +
             quoted(oneLine) + ",''," + quoted(severalLines) +
             ",'2024-01-01 10:30:00','2024-01-02',(select max(ID) from Employees),'2024-02-03')");
        // The export names the call's attachments in a last column, which the import passes over.
        QBuffer photo;
        photo.setData("bytes");
        photo.open(QIODevice::ReadOnly);
        SharedConnection().beginTransaction();
        const QString name = "%_'\"\\[*\"><svg onload=alert(1)>.jpg";
        Attachments::Store(SharedConnection(), Scalar("select max(ID) from Calls").toLongLong(),
                           photo, name, 100);
        SharedConnection().commit();
        const QString first = m_env->dataHome() + "/first.csv";
        QVERIFY(ExportAllCalls(SharedConnection(), first));
        // Into an empty call log, with nobody and no list value in it.
        for (const char* table : {"Calls", "Employees", "Customers", "Status", "Categories"})
            Exec(QStringLiteral("delete from %1").arg(table));
        CallImport import(first);
        QVERIFY(import.fromThisProgram());
        import.prepare(SharedConnection());
        QCOMPARE(import.problems().size(), size_t(0));
        QCOMPARE(import.write(SharedConnection()), 1);
        // The calls imported hold the texts as they were stored, whatever they begin with.
        QCOMPARE(Scalar("select Title from Calls").toString(), oneLine);
        QCOMPARE(Scalar("select Comments from Calls").toString(), severalLines);
        const QString second = m_env->dataHome() + "/second.csv";
        QVERIFY(ExportAllCalls(SharedConnection(), second));
        QList<QStringList> before = ReadCsv(contentOf(first));
        QCOMPARE(before.size(), 2);
        QCOMPARE(before[0].last(), "Attachments");
        QCOMPARE(before[1].takeLast(), name);
        QList<QStringList> after = ReadCsv(contentOf(second));
        QCOMPARE(after[1].takeLast(), QString());
        QCOMPARE(withoutIds(after), withoutIds(before));
    }

    // Calls imported get the history rows, the entries of the comments' index and the stored
    // dates that the same calls get from the triggers when they are inserted one by one.
    void importedAsTheTriggersLeaveThem_data() { AddHostileTextRows(); }
    void importedAsTheTriggersLeaveThem() {
        QFETCH(QString, oneLine);
        QFETCH(QString, severalLines);
        const bool file = !TestEnvironment::onServer();
        const auto triggers = [] {
            return Rows("select name, sql from sqlite_master where type = 'trigger' order by name");
        };
        const QStringList triggersBefore = file ? triggers() : QStringList();
        const QString insert = "insert into Calls (Title, Comments, [Opened Date], [Due Date], "
                               "[Resolved Date], [Call Time]) values (";
        Exec(insert + quoted(oneLine) + "," + quoted(severalLines) +
             ",'2024-01-01 10:30:00','2024-01-02','2024-02-03','2024-01-01 10:30:00')");
        Exec(insert + "'Second'," + quoted(oneLine) +
             ",'2024-03-04','2024-03-05',NULL,'2024-03-04')");
        const QString path = m_env->dataHome() + "/calls.csv";
        QVERIFY(ExportAllCalls(SharedConnection(), path));
        ReleaseSharedConnection();
        QString output, errors;
        QTextStream out(&output), err(&errors);
        QCOMPARE(RunCommands({"quorvane", "--import-csv", path}, out, err), 0);
        m_env->openSharedConnection();

        // The calls 1 and 2 went in one by one, 3 and 4 are their imported copies.
        const auto both = [](const QString& sql) {
            return std::make_pair(Rows(sql.arg("<= 2", "0")), Rows(sql.arg("> 2", "2")));
        };
        const auto history = both("select CallID - %2, [Changed By], Field, OldValue, NewValue "
                                  "from CallHistory where CallID %1 order by ID");
        QCOMPARE(history.second, history.first);
        const auto dates =
            both("select ID - %2, [Opened Date], [Due Date], [Resolved Date], [Call Time] "
                 "from Calls where ID %1 order by ID");
        QCOMPARE(dates.second, dates.first);
        if (!file)
            return;
        QCOMPARE(Count("select count(*) from CallHistory where [Changed At] is not "
                       "StoredDate([Changed At])"),
                 0);
        Exec("create virtual table temp.Pieces using fts5vocab(main, CallsText, 'instance')");
        const auto pieces = both("select term, doc - %2, col, offset from temp.Pieces where "
                                 "doc %1 order by doc, offset, term");
        Exec("drop table temp.Pieces");
        QCOMPARE(pieces.second, pieces.first);
        QCOMPARE(triggers(), triggersBefore);
    }

    // What a spreadsheet's file holds, and what is stored of it (or why a line is not read).
    void spreadsheetRows_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("stored");
        QTest::addColumn<QStringList>("problems");
        // A call without a status, category or priority: empty text in the file, none (Null) on
        // a server, whose lists would refuse the empty value.
        const QString none = TestEnvironment::onServer() ? QStringLiteral("<null>") : QString();
        QTest::newRow("semicolons, BOM, line break in quotes, both date forms")
            << "\xEF\xBB\xBF" + kHeader + "Printer;Bo Ek;Ann Lee;" + shown(2026, 12, 24).toUtf8() +
                   ";2027-01-05 14:30;open;High;\"two\r\nlines\"\r\n"
            << QStringList{"Printer|Bo Ek|Ann Lee||" + shown(2026, 12, 24) + "|" +
                           DateText::format(QDateTime(QDate(2027, 1, 5), QTime(14, 30))) +
                           "|Open|" + none + "|High|two\r\nlines||<null>"}
            << QStringList{};
        QTest::newRow("commas, LF ends, new people and values")
            << QByteArray("Title,Caller,Assigned To,Opened Date,Due Date,Status,Category\n"
                          "A,Cy Dee,Mary Ann Smith,2026-01-02,2026-01-03,Waiting,Net\n"
                          "B,Cy Dee,Mary Ann Smith,2026-01-02,2026-01-03,waiting,net\n")
            << QStringList{"A|Cy Dee|Mary Ann Smith||" + shown(2026, 1, 2) + "|" +
                               shown(2026, 1, 3) + "|Waiting|Net|" + none + "|||<null>",
                           "B|Cy Dee|Mary Ann Smith||" + shown(2026, 1, 2) + "|" +
                               shown(2026, 1, 3) + "|Waiting|Net|" + none + "|||<null>"}
            << QStringList{};
        QTest::newRow("unreadable lines, counted across a quoted line break")
            << kHeader + "\"a\nb\";;;2026-01-02;2026-01-03;;;\r\n" // lines 2-3: read
                         "C;;;31/02/2026;2026-01-03;;;\r\n"        // line 4
                         "D;;;2026-01-02;2026-01-03;;\r\n"         // line 5
                         ";;;2026-01-02;2026-01-03;;;\r\n"         // line 6
                         "E;;;2026-01-02;;;;\r\n"                  // line 7
                         "\"F\"x;;;2026-01-02;2026-01-03;;;\r\n"   // line 8
                         "G\xFF;;;2026-01-02;2026-01-03;;;\r\n"    // line 9
                         "\r\n"                                    // line 10: blank
                         "\"H;;;2026-01-02;2026-01-03;;;\r\n"      // line 11
            << QStringList{"a\nb||||" + shown(2026, 1, 2) + "|" + shown(2026, 1, 3) + "|" +
                           QStringList(3, none).join('|') + "|||<null>"}
            << QStringList{"4: the opened date \"31/02/2026\" is not a date",
                           "5: it has 7 fields where the header line has 8",
                           "6: it has no title",
                           "7: it has no due date",
                           "8: text follows the closing quote of field 1",
                           "9: it is not UTF-8 text",
                           "11: a quote opened on this line is never closed"};
        QTest::newRow("a quote inside a field that does not begin with one")
            << kHeader + "Monitor 24\" flickers;;;2026-01-02;2026-01-03;;;\r\n"
            << QStringList{"Monitor 24\" flickers||||" + shown(2026, 1, 2) + "|" +
                           shown(2026, 1, 3) + "|" + QStringList(3, none).join('|') + "|||<null>"}
            << QStringList{};
        QTest::newRow("one field more than the header, then the same number")
            << kHeader + "I;;;2026-01-02;2026-01-03;;;;\r\n"
                         "J;;;2026-01-02;2026-01-03;;;\r\n"
            << QStringList{"J||||" + shown(2026, 1, 2) + "|" + shown(2026, 1, 3) + "|" +
                           QStringList(3, none).join('|') + "|||<null>"}
            << QStringList{"2: it has 9 fields where the header line has 8"};
        QTest::newRow("an unclosed quote names every line it takes in")
            << kHeader + "A;;;2026-01-02;2026-01-03;;;\r\n"   // line 2: read
                         "\"B;;;2026-01-02;2026-01-03;;;\r\n" // line 3
                         "C;;;2026-01-02;2026-01-03;;;\r\n"   // line 4
                         "\r\n"                               // line 5: blank
                         "D;;;2026-01-02;2026-01-03;;;"       // line 6, without a line end
            << QStringList{"A||||" + shown(2026, 1, 2) + "|" + shown(2026, 1, 3) + "|" +
                           QStringList(3, none).join('|') + "|||<null>"}
            << QStringList{"3: a quote opened on this line is never closed",
                           "4: it lies inside the quote opened on line 3, which is never closed",
                           "6: it lies inside the quote opened on line 3, which is never closed"};
        QTest::newRow("a sign, a NUL")
            << kHeader + "-A;;;-2026-01-02;2026-01-03;;;\r\nE;;;2026-01-02;2026-01-03;;;" +
                   QByteArray(1, '\0') + "\r\n"
            << QStringList{}
            << QStringList{"2: the opened date \"-2026-01-02\" is not a date",
                           "3: it holds a NUL character, which no text holds"};
        // UTF-16 and UTF-32 by their byte order marks; a broken one names its encoding.
        const QString wide =
            QString::fromUtf8(kHeader) + QString::fromUtf8("中之;;;2026-01-02;2026-01-03;;;\r\n");
        const QString wideStored = QString::fromUtf8("中之||||") + shown(2026, 1, 2) + "|" +
                                   shown(2026, 1, 3) + "|" + QStringList(3, none).join('|') +
                                   "|||<null>";
        for (const auto& [name, encoding, bom] :
             {std::tuple{"UTF-16LE", QStringConverter::Utf16LE, QByteArray("\xFF\xFE")},
              std::tuple{"UTF-16BE", QStringConverter::Utf16BE, QByteArray("\xFE\xFF")},
              std::tuple{"UTF-32LE", QStringConverter::Utf32LE, QByteArray("\xFF\xFE\0\0", 4)},
              std::tuple{"UTF-32BE", QStringConverter::Utf32BE, QByteArray("\0\0\xFE\xFF", 4)}})
            QTest::newRow(name) << bom + QStringEncoder(encoding).encode(wide)
                                << QStringList{wideStored} << QStringList{};
        QTest::newRow("UTF-16 with a lone surrogate")
            << QByteArray("\xFF\xFE") + QStringEncoder(QStringConverter::Utf16LE).encode(wide) +
                   QByteArray("X\0;\0\x00\xD8;\0", 8)
            << QStringList{wideStored} << QStringList{"3: it is not UTF-16 text"};
    }
    void spreadsheetRows() {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, stored);
        QFETCH(QStringList, problems);
        CallImport import = CallImport::fromBytes(file);
        QVERIFY(!import.fromThisProgram());
        QVERIFY(import.missingFields().isEmpty());
        import.prepare(SharedConnection());
        QStringList found;
        for (const CallImport::Problem& problem : import.problems())
            found << QString::number(problem.line) + ": " + problem.why;
        QCOMPARE(found, problems);
        Exec("delete from Calls");
        QCOMPARE(import.write(SharedConnection()), int(stored.size()));
        QCOMPARE(storedCalls(), stored);
    }

    // The separator is the one the header line uses more, outside quotes; a comma on a tie.
    void separatorOfTheHeader_data() {
        QTest::addColumn<QByteArray>("header");
        QTest::addColumn<QString>("separator");
        QTest::newRow("commas") << QByteArray("Title,Opened,Due\n") << ",";
        QTest::newRow("semicolons") << QByteArray("Title;Opened;Due\n") << ";";
        QTest::newRow("one more semicolon") << QByteArray("Title;Opened;Due,x\n") << ";";
        QTest::newRow("as many of each") << QByteArray("Title;Opened,Due\n") << ",";
        QTest::newRow("one column") << QByteArray("Title\n") << ",";
        QTest::newRow("semicolons in quotes") << QByteArray("\"T;i;t\",Opened\n") << ",";
    }
    void separatorOfTheHeader() {
        QFETCH(QByteArray, header);
        QFETCH(QString, separator);
        QCOMPARE(QString(CallImport::fromBytes(header).separator()), separator);
    }

    // A field, a record and the fields of a record are read up to their limits; one past a
    // limit makes the record unreadable, named, without taking the memory of the machine.
    void csvLimits_data() {
        QTest::addColumn<QByteArray>("record");
        QTest::addColumn<QString>("problem");
        const QByteArray field(CsvRecords::kFieldChars, 'x');
        QTest::newRow("field at the limit") << field + ",2026-01-03"
                                            << "";
        QTest::newRow("field one past") << field + "x,2026-01-03"
                                        << "field 1 is longer than 16,777,216 characters";
        // Two fields and a date, separated: exactly as long as a record may be.
        const QByteArray half(CsvRecords::kRecordChars / 2 - 6, 'y');
        QTest::newRow("record at the limit") << half + ",2026-01-03," + half << "";
        QTest::newRow("record one past") << half + ",2026-01-03," + half + "y"
                                         << "it is longer than 33,554,432 characters";
        QTest::newRow("fields at the limit") << "a,2026-01-03" + QByteArray(998, ',') << "";
        QTest::newRow("fields one past")
            << "a,2026-01-03" + QByteArray(999, ',') << "it has more than 1000 fields";
    }
    void csvLimits() {
        QFETCH(QByteArray, record);
        QFETCH(QString, problem);
        const CsvRecords::Table table = CsvRecords::read("Title,Due\r\n" + record + "\r\nb,c\r\n");
        QCOMPARE(table.records.size(), size_t(2));
        QCOMPARE(table.records[0].problem, problem);
        QCOMPARE(table.records[0].fields.isEmpty(), !problem.isEmpty());
        QCOMPARE(table.records[1].fields, QStringList({"b", "c"}));
        QCOMPARE(table.records[1].line, 3);
    }

    // The program's own export escapes texts that a spreadsheet would run as formulas; they
    // are read back as stored. A spreadsheet's own apostrophe is kept.
    void escapedFormulas_data() {
        QTest::addColumn<QByteArray>("header");
        QTest::addColumn<QString>("stored");
        QByteArray exported;
        for (const char* caption :
             {"ID", "Title", "Caller", "Assigned To", "Priority", "Status", "Category", "Due Date",
              "Opened Date", "Resolved By", "Resolved Time", "Opened By", "Comments"})
            exported += QByteArray(exported.isEmpty() ? "" : ",") + caption;
        QTest::newRow("from this program") << exported << "=SUM(A1)|-1|@x|'plain";
        QTest::newRow("from a spreadsheet")
            << QByteArray("ID,Title,Caller,Assigned To,Priority,Status,Category,Due Date,"
                          "Opened Date,Resolved By,Resolved Date,Opened By,Comments")
            << "'=SUM(A1)|'-1|'@x|'plain";
    }
    void escapedFormulas() {
        QFETCH(QByteArray, header);
        QFETCH(QString, stored);
        CallImport import = CallImport::fromBytes(
            header + "\r\n1,'=SUM(A1),,,'-1,'@x,'plain,2026-01-03,2026-01-02,,,,\r\n");
        import.prepare(SharedConnection());
        QCOMPARE(import.write(SharedConnection()), 1);
        QCOMPARE(Rows("select Title, Priority, Status, Category from Calls"), QStringList{stored});
    }

    // From the list's menu: the file, the preview with the unreadable lines, one question
    // about the additions and the lines left out, then every readable call at once.
    void importFromTheWindow() {
        const QString path = m_env->dataHome() + "/calls.csv";
        writeFile(path, kHeader + "Printer;Bo Ek;Eve Fox;2026-01-02;2026-01-03;Open;Top;x\r\n"
                                  "Fax;;;not a date;2026-01-03;Open;Top;y\r\n");
        auto window = StartProgram();
        ScriptedPrompts prompts;
        prompts.onModal([&](QDialog& dialog) {
            static_cast<QFileDialog&>(dialog).selectFile(path);
            dialog.accept();
        });
        prompts.onModal([&](QDialog& dialog) {
            auto& preview = static_cast<ImportWindow&>(dialog);
            QCOMPARE(preview.columnBox(CallImport::Caller)->currentText(), "Customer");
            QCOMPARE(preview.preview()->rowCount(), 1);
            QCOMPARE(preview.preview()->item(0, 1)->text(), "Printer");
            QCOMPARE(preview.problemList()->count(), 1);
            QCOMPARE(preview.problemList()->item(0)->text(),
                     "Line 3: the opened date \"not a date\" is not a date");
            QCOMPARE(Count("select count(*) from Calls"), 0);
            preview.importButton()->click();
        });
        prompts.answer(Prompts::Yes);
        QTest::keyClick(window.get(), Qt::Key_I, Qt::ControlModifier);
        QCOMPARE(prompts.texts(),
                 QStringList{"These people and list values do not exist yet and will be added:"
                             "\n\nEmployee: Eve Fox\nPriority: Top\n\n1 line that cannot be "
                             "read will be left out.\n\nImport 1 call?"});
        QCOMPARE(Rows("select Title, [Assigned To Name], Priority from [Calls Extended]"),
                 QStringList{"Printer|Eve Fox|Top"});
        QCOMPARE(window->callList()->rowCount(), 1);
    }

    // People and values another import (or desk) added since the file was read are used, in
    // their spelling, not added again.
    void additionsMadeMeanwhileAreUsed() {
        CallImport import = CallImport::fromBytes(
            kHeader + "Printer;Cy Dee;Eve Fox;2026-01-02;2026-01-03;waiting;Top;x\r\n");
        import.prepare(SharedConnection());
        QCOMPARE(import.additions().size(), size_t(4));
        Exec("insert into Customers ([First Name],[Last Name]) values ('Cy','Dee')");
        Exec("insert into [Status] values ('WAITING')");
        QCOMPARE(import.write(SharedConnection()), 1);
        QCOMPARE(Rows("select Title, [Customer Name], [Assigned To Name], Status, Priority from "
                      "[Calls Extended]"),
                 QStringList{"Printer|Cy Dee|Eve Fox|WAITING|Top"});
        QCOMPARE(Count("select count(*) from Customers where [First Name]='Cy'"), 1);
        QCOMPARE(Count("select count(*) from Status"), 2);
    }

    // Cancelled while writing, or refused on the command line: nothing at all is written.
    void nothingHalfImported() {
        QByteArray file = kHeader;
        for (int i = 0; i < 450; ++i)
            file += "Call " + QByteArray::number(i) + ";New Caller;;2026-01-02;2026-01-03;;;\r\n";
        const QString triggers = TestEnvironment::onServer()
                                     ? QStringLiteral("select 0")
                                     : QStringLiteral("select count(*) from sqlite_master where "
                                                      "type = 'trigger' and tbl_name = 'Calls'");
        const int triggersBefore = Count(triggers);
        CallImport import = CallImport::fromBytes(file);
        import.prepare(SharedConnection());
        QCOMPARE(import.write(SharedConnection(), [](int done, int) { return done < 200; }), -1);
        QCOMPARE(Count("select count(*) from Calls"), 0);
        QCOMPARE(Count(triggers), triggersBefore);
        QCOMPARE(Count("select count(*) from Customers"), 1);

        const QString path = m_env->dataHome() + "/calls.csv";
        writeFile(path, file + "Broken;;;2026-02-30;2026-01-03;;;\r\n");
        ReleaseSharedConnection();
        QString output, errors;
        QTextStream out(&output), err(&errors);
        QCOMPARE(RunCommands({"quorvane", "--import-csv", path}, out, err), 1);
        QVERIFY2(errors.contains(path + ":452: the opened date \"2026-02-30\" is not a date"),
                 qPrintable(errors));
        writeFile(path, file);
        QCOMPARE(RunCommands({"quorvane", "--import-csv", path}, out, err), 0);
        QCOMPARE(output, "Added customer: New Caller\nImported 450 calls from " + path + "\n");
        m_env->openSharedConnection();
        QCOMPARE(Count("select count(*) from [Calls Extended] where [Customer Name]='New Caller'"),
                 450);
    }

private:
    std::unique_ptr<TestEnvironment> m_env;
};

QTEST_MAIN(TestImport)
#include "test_exchange.moc"
