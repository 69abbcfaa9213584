// Hostile texts pasted into every text box of every window, as a person would: into the call
// editor, both contact editors and the value lists' input boxes, and from there into the
// database, the call list, the find bar, the reports and the CSV export.
#include "app/main_window.h"
#include "call_editor_fixture.h"
#include "contacts/call_rows_model.h"
#include "contacts/contact_editor.h"
#include "contacts/employee_editor.h"
#include "csv_reader.h"
#include "data/shared_connection.h"
#include "exchange/import_window.h"
#include "history/call_history_window.h"
#include "history/deleted_calls_window.h"
#include "hostile_texts.h"
#include "list/call_list_model.h"
#include "list/call_list_tools.h"
#include "list/find_bar.h"
#include "records/call_export.h"
#include "records/call_import.h"
#include "records/call_summary.h"
#include "reports/report_chooser.h"
#include "reports/report_document.h"
#include "reports/report_preview.h"
#include "summary/summary_page.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTextDocument>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>

namespace {

// Replaces the whole text of a box with `text` from the clipboard.
void paste(QWidget* box, const QString& text) {
    QApplication::clipboard()->setText(text);
    box->setFocus();
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
}

// Presses `button`, which opens a real input box, and answers that box by pasting `text` into
// it and pressing OK.
void answerInputBox(ScriptedPrompts& prompts, QPushButton* button, const QString& text) {
    InstallPrompts(nullptr);
    QTimer::singleShot(0, [text] {
        auto* box = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
        QVERIFY(box);
        paste(box->findChild<QLineEdit*>(), text);
        QTest::keyClick(box, Qt::Key_Return);
    });
    QTest::mouseClick(button, Qt::LeftButton);
    InstallPrompts(&prompts);
}

// The text of a page as a report shows `expected` in a box of one line: whole, or cut with an
// ellipsis (which keeps the invisible marks of writing direction balanced), isolated or not.
bool shownInOneLine(QString shown, QString expected) {
    expected.replace(QRegularExpression(QStringLiteral("[\t\r\n]")), QStringLiteral(" "));
    if (shown == expected)
        return true;
    const QRegularExpression marks(QStringLiteral("\\p{Cf}"));
    shown.remove(marks);
    expected.remove(marks);
    if (shown == expected)
        return true;
    return shown.endsWith(QChar(0x2026)) && expected.startsWith(shown.chopped(1));
}

QString withoutBlanks(QString text) {
    return text.remove(QRegularExpression(QStringLiteral("\\s")));
}

// The text without the invisible marks of writing direction and without blanks.
QString withoutMarksAndBlanks(QString text) {
    return withoutBlanks(text.remove(QRegularExpression(QStringLiteral("\\p{Cf}"))));
}

// What the list shows, with the marks that isolate its writing direction taken off; a mark
// that is left (the text could reorder what stands around it) shows as itself.
QString shownInList(const CallListModel& list, int row, int column) {
    QString shown = list.data(list.index(row, column), Qt::DisplayRole).toString();
    if (shown.startsWith(QChar(0x2068)) && shown.endsWith(QChar(0x2069)))
        shown = shown.mid(1, shown.size() - 2);
    return shown;
}

// A text as ShownSafely() gives it, with the marks that isolate it taken off.
QString unwrapped(QString shown) {
    if (shown.startsWith(QChar(0x2068)) && shown.endsWith(QChar(0x2069)))
        shown = shown.mid(1, shown.size() - 2);
    return shown;
}

// What the person types, and what the boxes keep of it.
struct Typed {
    Typed(QString typed, QString oneLine, QString severalLines, bool isDate)
        : typed(std::move(typed)), oneLine(std::move(oneLine)),
          severalLines(std::move(severalLines)), isDate(isDate) {}
    QString typed, oneLine, severalLines;
    bool isDate;
    QString name() const { return oneLine + QLatin1Char(' ') + oneLine; }
};

// The row of the hostile text table that the test runs with.
#define FETCH_TYPED(text)                                                                          \
    QFETCH(QString, typed);                                                                        \
    QFETCH(QString, oneLine);                                                                      \
    QFETCH(QString, severalLines);                                                                 \
    QFETCH(bool, isDate);                                                                          \
    const Typed text(typed, oneLine, severalLines, isDate)

// Pastes the text into all sixteen boxes of a contact editor and saves.
void fillContact(QDialog& window, const Typed& text) {
    auto& editor = static_cast<ContactEditor&>(window);
    editor.show();
    for (int number = 1; number <= 16; ++number)
        paste(editor.box(number), text.typed);
    QTest::mouseClick(editor.PushButton2, Qt::LeftButton);
}

// Adds a call from the main window with the text in every box: its caller and employee made
// with the "+" buttons, its three values with the input boxes. A resolved date that is not a
// date is refused with a message, and the call saved without it. Answers the call's ID.
int enterCall(Form1& window, ScriptedPrompts& prompts, const Typed& text) {
    const int calls = Count("select count(*) from Calls");
    prompts.onModal([&](QDialog& window) {
        auto& editor = static_cast<Form2&>(window);
        editor.show();
        prompts.onModal([&](QDialog& form5) { fillContact(form5, text); });
        QTest::mouseClick(editor.PushButton15, Qt::LeftButton);
        prompts.onModal([&](QDialog& form3) { fillContact(form3, text); });
        QTest::mouseClick(editor.PushButton5, Qt::LeftButton);
        pick(editor.Combo6, text.name());
        pick(editor.Combo1, text.name());
        pick(editor.Combo2, text.name());
        answerInputBox(prompts, editor.PushButton7, text.typed);
        answerInputBox(prompts, editor.PushButton11, text.typed);
        answerInputBox(prompts, editor.PushButton13, text.typed);
        pick(editor.Combo3, text.oneLine);
        pick(editor.Combo4, text.oneLine);
        pick(editor.Combo5, text.oneLine);
        paste(editor.Text1, text.typed);
        paste(editor.Text3, text.typed);
        paste(editor.Text4, text.typed);
        prompts.clear();
        clickSave(editor);
        if (!text.isDate) {
            QCOMPARE(prompts.texts().size(), 1);
            QVERIFY(prompts.texts().at(0).startsWith("Resolved Date is not a date: type a date"));
            QCOMPARE(Count("select count(*) from Calls"), calls);
            QVERIFY(editor.isVisible());
            QTest::keyClick(editor.Text4, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClick(editor.Text4, Qt::Key_Delete);
            clickSave(editor);
        }
        QCOMPARE(editor.result(), int(QDialog::Accepted));
    });
    QTest::mouseClick(window.PushButton2, Qt::LeftButton);
    return Count("select max(ID) from Calls");
}

// Every row the test did not make, and the value lists without the new values.
QStringList untouched(const QString& oneLine) {
    const QString value = sqlText(oneLine);
    return Rows("select * from Calls where ID=1") + Rows("select * from Employees where ID<=5") +
           Rows("select * from Customers where ID<=7") +
           Rows("select * from Status where Status<>'" + value + "'") +
           Rows("select * from Categories where Category<>'" + value + "'") +
           Rows("select * from Priorities where Priority<>'" + value + "'");
}

QString stored(const QString& sql) {
    return Scalar(sql).toString();
}

} // namespace

class TestHostileInput : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        QApplication::setQuitOnLastWindowClosed(false);
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }
    void init() {
        m_data = std::make_unique<EditorData>();
        addCall(CallRow{});
        m_window = StartProgram();
    }
    void cleanup() {
        m_window.reset();
        m_data.reset();
    }

    // Each box keeps the text as typed, and an unchanged save in each window changes nothing.
    void storedAsTyped_data() { AddHostileTextRows(); }
    void storedAsTyped();
    // The call list, the find bar, the reports and the export show what is stored.
    void shownAsStored_data() { AddHostileTextRows(); }
    void shownAsStored();
    // The other windows and boxes show a stored text as the list does: isolated, with the
    // direction controls as visible marks.
    void shownIsolatedEverywhere_data() { AddHostileTextRows(); }
    void shownIsolatedEverywhere();

private:
    std::unique_ptr<EditorData> m_data;
    std::unique_ptr<Form1> m_window;
};

void TestHostileInput::storedAsTyped() {
    FETCH_TYPED(text);
    ScriptedPrompts& prompts = m_data->prompts;
    const QStringList before = untouched(text.oneLine);
    const int id = enterCall(*m_window, prompts, text);
    QVERIFY(!QTest::currentTestFailed());
    QCOMPARE(id, 2);
    QCOMPARE(untouched(text.oneLine), before);
    QVERIFY(prompts.errorReports().empty());

    const QString call = QStringLiteral(" from Calls where ID=2");
    QCOMPARE(stored("select Title" + call), text.oneLine);
    QCOMPARE(stored("select Comments" + call), text.severalLines);
    QCOMPARE(stored("select Status" + call), text.oneLine);
    QCOMPARE(stored("select Category" + call), text.oneLine);
    QCOMPARE(stored("select Priority" + call), text.oneLine);
    QCOMPARE(stored("select [Resolved Date] || ''" + call), text.isDate ? text.oneLine : QString());
    for (const char* table : {"Status", "Categories", "Priorities"})
        QCOMPARE(Count(QStringLiteral("select count(*) from %1").arg(table)), 4);
    for (const QString& table : {QStringLiteral("Employees"), QStringLiteral("Customers")}) {
        const QString row = QStringLiteral(" from %1 where ID=(select max(ID) from %1)").arg(table);
        for (const char* column :
             {"First Name", "Last Name", "Job Title", "Company", "Business Phone", "Home Phone",
              "Mobile Phone", "Fax Number", "Address", "City", "State", "ZIP", "Country",
              "E-mail Address", "Web Page"})
            QCOMPARE(stored(QStringLiteral("select [%1]").arg(column) + row), text.oneLine);
        QCOMPARE(stored("select Notes" + row), text.severalLines);
    }

    // Opened again and saved unchanged, the call and its caller stay as they are, and each
    // window showed what is stored.
    const QStringList all = Rows("select * from Calls") + Rows("select * from Employees") +
                            Rows("select * from Customers");
    m_window->selectRow(m_window->callList()->rowOfId(id));
    prompts.onModal([&](QDialog& window) {
        auto& editor = static_cast<Form2&>(window);
        editor.show();
        QCOMPARE(editor.Text1->text(), text.oneLine);
        QCOMPARE(editor.Text3->exactText(), text.severalLines);
        QCOMPARE(editor.Combo3->currentText(), text.oneLine);
        QCOMPARE(editor.Combo6->currentText(), text.name());
        const auto checkContact = [&](QDialog& window) {
            auto& contact = static_cast<ContactEditor&>(window);
            for (int number = 1; number <= 16; ++number)
                QCOMPARE(contact.boxText(number), number == 16 ? text.severalLines : text.oneLine);
            // The employee's lists of open calls show the call as stored.
            if (auto* employee = qobject_cast<Form3*>(&contact)) {
                for (const CallRowsModel* calls :
                     {employee->openedCalls(), employee->assignedCalls()}) {
                    QCOMPARE(calls->rowCount(), text.isDate ? 0 : 1);
                    if (!text.isDate)
                        QVERIFY(std::count(calls->row(0).begin(), calls->row(0).end(),
                                           text.oneLine) >= 4);
                }
            }
            QTest::mouseClick(contact.PushButton2, Qt::LeftButton);
        };
        prompts.onModal(checkContact);
        QTest::mouseClick(editor.PushButton17, Qt::LeftButton);
        prompts.onModal(checkContact);
        QTest::mouseClick(editor.PushButton9, Qt::LeftButton);
        clickSave(editor);
    });
    prompts.clear();
    QTest::mouseClick(m_window->PushButton1, Qt::LeftButton);
    QCOMPARE(prompts.texts(), QStringList(3, "Record Successfully Updated"));
    QCOMPARE(Rows("select * from Calls") + Rows("select * from Employees") +
                 Rows("select * from Customers"),
             all);
}

void TestHostileInput::shownAsStored() {
    FETCH_TYPED(text);
    ScriptedPrompts& prompts = m_data->prompts;
    const int id = enterCall(*m_window, prompts, text);
    QVERIFY(!QTest::currentTestFailed());
    const QString idText = QString::number(id);

    // The list.
    const CallListModel& list = *m_window->callList();
    const int row = list.rowOfId(id);
    QVERIFY(row >= 0);
    QCOMPARE(list.text(row, 1), text.oneLine);
    QCOMPARE(list.text(row, 2), text.name());
    QCOMPARE(list.text(row, 3), text.name());
    for (int column = 4; column <= 6; ++column)
        QCOMPARE(list.text(row, column), text.oneLine);
    // On the screen, a direction control shows instead of reordering the text.
    QFETCH(QString, shown);
    const QString shownName = shown + QLatin1Char(' ') + shown;
    QCOMPARE(shownInList(list, row, 1), shown);
    QCOMPARE(shownInList(list, row, 2), shownName);
    QCOMPARE(shownInList(list, row, 5), shown);
    // The row's tooltip shows the start of the comments as text, as a tooltip renders it.
    const QString tip = list.data(list.index(row, 1), Qt::ToolTipRole).toString();
    QTextDocument tipShown;
    if (Qt::mightBeRichText(tip))
        tipShown.setHtml(tip);
    else
        tipShown.setPlainText(tip);
    QString tipText = withoutMarksAndBlanks(tipShown.toPlainText());
    if (tipText.endsWith(QChar(0x2026)))
        tipText.chop(1);
    QVERIFY(!tipText.isEmpty());
    QVERIFY2(withoutMarksAndBlanks(text.severalLines == text.oneLine ? shown : text.severalLines)
                 .startsWith(tipText),
             qPrintable(tipText));

    // The find bar finds the call, and only it, by the text pasted into it.
    QApplication::setActiveWindow(m_window.get());
    QTest::keyClick(m_window.get(), Qt::Key_F, Qt::ControlModifier);
    paste(m_window->tools()->findBar()->FindText, text.typed);
    QTRY_COMPARE(list.rowCount(), 1);
    QCOMPARE(list.text(0, 0), idText);
    m_window->tools()->closeFind();

    // The report that lists the call shows every text whole or cut with an ellipsis, and the
    // comments whole over as many lines as they need.
    QVector<ReportPage> pages;
    prompts.onModal([&](QDialog& window) {
        auto& chooser = static_cast<Form4&>(window);
        chooser.Combo1->setCurrentIndex(
            chooser.Combo1->findText(text.isDate ? "Closed Calls" : "Call Details"));
        prompts.onModal([&](QDialog& preview) {
            const ReportDocument& document = static_cast<ReportPreview&>(preview).document();
            for (int i = 0; i < document.pageCount(); ++i)
                pages << document.page(i);
        });
        QTest::mouseClick(chooser.PushButton1, Qt::LeftButton);
    });
    QTest::mouseClick(m_window->PushButton5, Qt::LeftButton);
    QVERIFY(!pages.isEmpty());
    QMap<QString, QStringList> onPages;
    for (const ReportPage& page : pages) {
        for (const PageText& placed : page.texts)
            onPages[placed.control] << placed.text;
    }
    const auto anyShows = [&](const QString& control, const QString& expected) {
        const QStringList& texts = onPages[control];
        return std::any_of(texts.begin(), texts.end(),
                           [&](const QString& t) { return shownInOneLine(t, expected); });
    };
    for (const char* control : {"Text2", "Text3", "Text5", "Text6"})
        QVERIFY2(anyShows(control, shown), qPrintable(onPages[control].join("|")));
    QVERIFY(anyShows("Text7", shownName));
    QVERIFY(anyShows("Text8", shownName));
    if (!text.isDate)
        QCOMPARE(
            withoutMarksAndBlanks(onPages["Text10"].join(QString())),
            withoutMarksAndBlanks(text.severalLines == text.oneLine ? shown : text.severalLines));

    // The export.
    const QString path = m_data->env.dataHome() + "/calls.csv";
    prompts.onModal([&](QDialog& dialog) {
        static_cast<QFileDialog&>(dialog).selectFile(path);
        dialog.accept();
    });
    m_window->tools()->exportRows();
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QStringList> records = ReadCsv(file.readAll());
    QCOMPARE(records.size(), 3);
    const QStringList& record = records.at(records.at(1).at(0) == idText ? 1 : 2);
    // A text that a spreadsheet would run as a formula opens as text.
    QFETCH(QString, exportedOneLine);
    QFETCH(QString, exportedSeveralLines);
    const QString exportedName = exportedOneLine + QLatin1Char(' ') + text.oneLine;
    QCOMPARE(record.at(0), idText);
    QCOMPARE(record.at(1), exportedOneLine);
    QCOMPARE(record.mid(2, 2), QStringList({exportedName, exportedName}));
    QCOMPARE(record.mid(4, 3), QStringList({exportedOneLine, exportedOneLine, exportedOneLine}));
    QCOMPARE(record.at(11), exportedName);
    QCOMPARE(record.at(12), exportedSeveralLines);
}

void TestHostileInput::shownIsolatedEverywhere() {
    FETCH_TYPED(text);
    QFETCH(QString, shown);
    ScriptedPrompts& prompts = m_data->prompts;
    const int id = enterCall(*m_window, prompts, text);
    QVERIFY(!QTest::currentTestFailed());
    const QString caption = QStringLiteral("History of call %1: ").arg(id);
    const auto checkHistory = [&](QDialog& window) {
        QCOMPARE(unwrapped(window.windowTitle().mid(caption.size())), shown);
        const QTreeWidget* list = static_cast<CallHistoryWindow&>(window).list();
        const QTreeWidgetItem* added = list->topLevelItem(list->topLevelItemCount() - 1);
        QCOMPARE(unwrapped(added->text(4)), shown);
    };

    // The summary (the window's table and its PDF share the page) names the open call's status.
    if (!text.isDate) {
        SummaryPage page;
        page.setSummary(ReadCallSummary(SharedConnection(), QDate::currentDate()));
        QTableWidget table;
        page.fillTable(&table);
        QStringList statuses;
        for (int row = 0; row < table.rowCount(); ++row) {
            if (table.item(row, 0)->text() == "Open calls by status")
                statuses << unwrapped(table.item(row, 1)->text());
        }
        QVERIFY2(statuses.contains(shown), qPrintable(statuses.join('|')));
    }

    // The assignee's lists of calls, from the call editor.
    m_window->selectRow(m_window->callList()->rowOfId(id));
    prompts.onModal([&](QDialog& window) {
        auto& editor = static_cast<Form2&>(window);
        prompts.onModal([&](QDialog& contact) {
            const CallRowsModel* calls = static_cast<Form3&>(contact).assignedCalls();
            QStringList titles;
            for (int row = 0; row < calls->rowCount(); ++row)
                titles << unwrapped(calls->data(calls->index(row, 0), Qt::DisplayRole).toString());
            QCOMPARE(titles, text.isDate ? QStringList() : QStringList{shown});
        });
        QTest::mouseClick(editor.PushButton9, Qt::LeftButton);
        editor.reject();
    });
    QTest::mouseClick(m_window->PushButton1, Qt::LeftButton);

    // The import window's preview of the calls exported.
    const QString exported = QDir::temp().filePath(QStringLiteral("hostile-%1.csv").arg(id));
    QVERIFY(ExportAllCalls(SharedConnection(), exported));
    {
        ImportWindow preview(CallImport(exported), exported);
        QFile::remove(exported);
        QStringList titles;
        for (int row = 0; row < preview.preview()->rowCount(); ++row)
            titles << unwrapped(preview.preview()->item(row, 1)->text());
        QVERIFY2(titles.contains(shown), qPrintable(titles.join('|')));
    }

    // The history, the delete question and the deleted calls with their history.
    QApplication::setActiveWindow(m_window.get());
    m_window->selectRow(m_window->callList()->rowOfId(id));
    prompts.onModal(checkHistory);
    QTest::keyClick(m_window.get(), Qt::Key_H, Qt::ControlModifier);
    prompts.clear();
    prompts.answer(Prompts::Yes);
    QTest::keyClick(m_window->ListView1, Qt::Key_Delete);
    const QString question = prompts.texts().value(0);
    QVERIFY(question.startsWith("Are you sure you want to delete [") && question.endsWith("]?"));
    QCOMPARE(unwrapped(question.mid(33).chopped(2)), shown);
    prompts.onModal([&](QDialog& window) {
        auto& deleted = static_cast<DeletedCallsWindow&>(window);
        QCOMPARE(unwrapped(deleted.list()->topLevelItem(0)->text(3)), shown);
        deleted.list()->topLevelItem(0)->setSelected(true);
        prompts.onModal(checkHistory);
        QTest::mouseClick(deleted.historyButton(), Qt::LeftButton);
    });
    QTest::keyClick(m_window.get(), Qt::Key_D, Qt::ControlModifier | Qt::ShiftModifier);
    QVERIFY(prompts.errorReports().empty());
}

QTEST_MAIN(TestHostileInput)
#include "test_hostile_input.moc"
