// What a screen reader finds in every window: each control a person operates has a name that
// says what it is, the lists and the preview tell where the person is; and the keyboard
// reaches every command and leaves every control.

#include "app/main_window.h"
#include "call_editor_fixture.h"
#include "contacts/customer_editor.h"
#include "contacts/employee_editor.h"
#include "data/shared_connection.h"
#include "exchange/import_window.h"
#include "history/call_history_window.h"
#include "history/deleted_calls_window.h"
#include "list/call_list_model.h"
#include "list/call_list_tools.h"
#include "list/find_bar.h"
#include "reports/report_catalog.h"
#include "reports/report_chooser.h"
#include "reports/report_document.h"
#include "reports/report_page_view.h"
#include "reports/report_preview.h"
#include "summary/summary_window.h"
#include "ui/help_window.h"

#include <QAccessible>
#include <QApplication>
#include <QPointer>
#include <QRegularExpression>
#include <QStringListModel>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTimer>
#include <QTreeView>

namespace {

// The windows to check, each opened as the program opens it. New windows join the table.
struct WindowUnderTest {
    const char* name;
    std::function<std::unique_ptr<QWidget>()> open;
};

template <class Window> std::unique_ptr<QWidget> editor(const char* id) {
    auto window = std::make_unique<Window>();
    if constexpr (!std::is_same_v<Window, Form4>)
        window->m_ID = QLatin1String(id);
    window->Form_Load();
    return window;
}

const WindowUnderTest kWindows[] = {
    {"main window with the find bar open",
     [] {
         std::unique_ptr<QWidget> window = StartProgram();
         static_cast<Form1*>(window.get())->tools()->openFind();
         return window;
     }},
    {"call editor, adding", [] { return editor<Form2>(""); }},
    {"call editor, editing", [] { return editor<Form2>("1"); }},
    {"employee editor with its calls", [] { return editor<Form3>("1"); }},
    {"customer editor", [] { return editor<Form5>("1"); }},
    {"report chooser", [] { return editor<Form4>(""); }},
    {"report preview",
     [] { return std::make_unique<ReportPreview>(OpenReport(*FindReportEntry("Call Details"))); }},
    {"history of a call",
     [] { return std::make_unique<CallHistoryWindow>(SharedConnection(), 1, "Printer jam"); }},
    {"deleted calls", [] { return std::make_unique<DeletedCallsWindow>(SharedConnection()); }},
    {"summary",
     [] {
         auto* calls = new QStringListModel;
         auto window = std::make_unique<SummaryWindow>(calls, nullptr);
         calls->setParent(window.get());
         return window;
     }},
    {"user's guide", [] { return std::make_unique<HelpWindow>(); }},
    {"import preview with a line that cannot be read",
     [] {
         CallImport import =
             CallImport::fromBytes("Title,Opened Date,Due Date\r\nJam,2026-01-02,2026-01-03\r\n"
                                   "Fax,not a date,2026-01-03\r\n");
         return std::make_unique<ImportWindow>(std::move(import), "calls.csv");
     }},
};

// What a screen reader says a control is. Where the toolkit gives a list its shown entry as
// its name, the reader names it by the label tied to it.
QString spokenName(QAccessibleInterface* control) {
    const QString name = control->text(QAccessible::Name);
    if (name != control->text(QAccessible::Value) || control->role() != QAccessible::ComboBox)
        return name;
    const auto labels = control->relations(QAccessible::Label);
    return labels.isEmpty() ? QString() : labels.first().first->text(QAccessible::Name);
}

// The operable controls under `node` that have no name of words, as "object: name".
void findUnnamed(QAccessibleInterface* node, QStringList& unnamed) {
    static const QList<QAccessible::Role> operable = {
        QAccessible::PushButton, QAccessible::CheckBox, QAccessible::RadioButton,
        QAccessible::ComboBox,   QAccessible::SpinBox,  QAccessible::EditableText,
        QAccessible::List,       QAccessible::Table,    QAccessible::Tree};
    for (int i = 0; i < node->childCount(); ++i) {
        QAccessibleInterface* child = node->child(i);
        if (!child || child->state().invisible || child->role() == QAccessible::ScrollBar)
            continue;
        const QString name = spokenName(child);
        if ((child->state().focusable || operable.contains(child->role())) &&
            !name.contains(QRegularExpression(QStringLiteral("\\w\\w"))))
            unnamed << child->object()->objectName() + QLatin1Char('(') +
                           child->object()->metaObject()->className() + QStringLiteral("): '") +
                           name + '\'';
        // The rows of a list and the entries of a drop-down list are named by their text.
        if (!operable.contains(child->role()) || child->role() == QAccessible::PushButton)
            findUnnamed(child, unnamed);
    }
}

} // namespace

class TestAccessibility : public QObject {
    Q_OBJECT
private slots:
    void everyControlIsNamedAndLeftWithTab_data() {
        QTest::addColumn<int>("window");
        for (int i = 0; i < int(std::size(kWindows)); ++i)
            QTest::newRow(kWindows[i].name) << i;
    }

    void everyControlIsNamedAndLeftWithTab() {
        QFETCH(int, window);
        EditorData data;
        addCall(CallRow());
        const std::unique_ptr<QWidget> shown = kWindows[window].open();
        shown->show();
        QApplication::setActiveWindow(shown.get());
        QVERIFY(QTest::qWaitForWindowActive(shown.get()));

        QStringList unnamed;
        findUnnamed(QAccessible::queryAccessibleInterface(shown.get()), unnamed);
        QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(QStringLiteral(", "))));

        // Tab moves on from every control that takes the focus, the comments box included.
        for (QWidget* control : shown->findChildren<QWidget*>()) {
            if (!control->isVisible() || !control->isEnabled() ||
                !(control->focusPolicy() & Qt::TabFocus) || control->focusProxy())
                continue;
            control->setFocus(Qt::TabFocusReason);
            const QColor focusedHighlight = control->palette().color(QPalette::Highlight);
            QTest::keyClick(control, Qt::Key_Tab);
            // A list shows in its selection whether it has the focus.
            if (qobject_cast<QAbstractItemView*>(control))
                QVERIFY(control->palette().color(QPalette::Highlight) != focusedHighlight);
            QWidget* now = QApplication::focusWidget();
            QVERIFY2(now && now != control && !control->isAncestorOf(now),
                     qPrintable(control->objectName()));
        }
    }

    // The call list tells how many calls it lists and which is selected, the preview which
    // page it shows.
    void listAndPreviewTellWhereThePersonIs() {
        EditorData data;
        for (const char* title : {"Printer jam", "Fax down"}) {
            CallRow call;
            call.title = QLatin1String(title);
            addCall(call);
        }
        const std::unique_ptr<Form1> window = StartProgram();
        auto* list = window->ListView1;
        QStringList told = {list->accessibleName(), list->accessibleDescription()};
        window->selectRow(window->callList()->rowOfId(2));
        told << list->accessibleDescription();
        // Shift+F10 opens the menu of the selected call, and its access key E edits that call.
        QString edited;
        // Saved, the call's new title is heard at once.
        data.prompts.onModal([&](QDialog& editor) {
            auto& form = static_cast<Form2&>(editor);
            edited = form.m_ID;
            form.Text1->setText(QStringLiteral("Fax gone"));
            form.PushButton2->click();
        });
        QTimer::singleShot(0, [] { QTest::keyClick(QApplication::activePopupWidget(), 'e'); });
        QTest::keyClick(list, Qt::Key_F10, Qt::ShiftModifier);
        QCOMPARE(edited, QStringLiteral("2"));
        told << list->accessibleDescription();
        window->tools()->openFind();
        QTest::keyClicks(window->tools()->findBar()->FindText, QStringLiteral("fax"));
        told << list->accessibleDescription();
        Exec(QStringLiteral("delete from Calls"));
        window->LoadCalls();
        told << list->accessibleDescription();
        QCOMPARE(told, QStringList({"Calls", "2 calls, selected: call 1, Printer jam",
                                    "2 calls, selected: call 2, Fax down",
                                    "2 calls, selected: call 2, Fax gone",
                                    "1 of 2 calls, selected: call 2, Fax gone", "No calls"}));

        Exec(QStringLiteral("with recursive n(i) as (select 1 union all select i + 1 from n where "
                            "i < 100) insert into Calls (Title,[Opened Date],[Due Date]) select "
                            "'Call ' || i, '2021-01-01', '2021-01-02' from n"));
        ReportPreview preview(OpenReport(*FindReportEntry("Open Calls")));
        const QString pages = QString::number(preview.document().pageCount());
        QCOMPARE(preview.view()->accessibleDescription(), "Page 1 of " + pages);
        QTest::keyClick(preview.view(), Qt::Key_PageDown);
        QCOMPARE(preview.view()->accessibleDescription(), "Page 2 of " + pages);
    }

    // F1 in every window opens the user's guide, shipped inside the program, at the part about
    // that window; its find box finds the next place, round past the end; Escape closes it.
    void f1OpensTheGuideAtItsWindow_data() {
        QTest::addColumn<int>("window");
        QTest::addColumn<QString>("section");
        const char* const sections[] = {
            "The keyboard",    "The call editor",         "The call editor",
            "The call editor", "The call editor",         "Reports",
            "Reports",         "Nothing a slip can lose", "Nothing a slip can lose",
            "Summary",         "Using Quorvane",          "Importing calls"};
        static_assert(std::size(sections) == std::size(kWindows));
        for (int i = 0; i < int(std::size(kWindows)); ++i)
            QTest::newRow(kWindows[i].name) << i << sections[i];
    }
    void f1OpensTheGuideAtItsWindow() {
        QFETCH(int, window);
        QFETCH(QString, section);
        EditorData data;
        addCall(CallRow());
        HelpWindow::watchF1();
        const std::unique_ptr<QWidget> shown = kWindows[window].open();
        shown->show();
        QApplication::setActiveWindow(shown.get());
        QVERIFY(QTest::qWaitForWindowActive(shown.get()));
        QWidget* focus = QApplication::focusWidget() ? QApplication::focusWidget() : shown.get();
        QTest::keyClick(focus, Qt::Key_F1);
        auto* help = qobject_cast<HelpWindow*>(shown.get());
        if (!help)
            help = shown->findChild<HelpWindow*>();
        QVERIFY(help && help->isVisible());
        QCOMPARE(help->guide()->textCursor().block().text(), section);
        for (int round = 0; round < 2; ++round) {
            help->findBox()->setText(QStringLiteral("Ctrl+Shift+D"));
            QTest::keyClick(help->findBox(), Qt::Key_Return);
            QCOMPARE(help->guide()->textCursor().selectedText(), QStringLiteral("Ctrl+Shift+D"));
        }
        if (help == shown.get())
            return;
        const QPointer<HelpWindow> open = help;
        QTest::keyClick(help->findBox(), Qt::Key_Escape);
        QTRY_VERIFY(!open);
    }

    // In the comments box, where Tab moves on, Ctrl+Tab types a tab that is saved.
    void ctrlTabTypesATabInTheComments() {
        EditorData data;
        Form2 editor;
        openEditor(editor, QString());
        fillRequired(editor);
        editor.Text3->setFocus();
        QTest::keyClicks(editor.Text3, QStringLiteral("a"));
        QTest::keyClick(editor.Text3, Qt::Key_Tab, Qt::ControlModifier);
        QTest::keyClicks(editor.Text3, QStringLiteral("b"));
        clickSave(editor);
        QCOMPARE(Scalar(QStringLiteral("select Comments from Calls")).toString(),
                 QStringLiteral("a\tb"));
    }
};

QTEST_MAIN(TestAccessibility)
#include "test_accessibility.moc"
