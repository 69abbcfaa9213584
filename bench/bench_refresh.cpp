// Finding a word that only the comments hold, and a save and a delete put in place in the
// list, each until the list is painted again.
#include "app/main_window.h"
#include "bench_support.h"
#include "calls/call_editor.h"
#include "data/connection.h"
#include "data/shared_connection.h"
#include "data/sql_text.h"
#include "list/call_list_model.h"
#include "list/call_list_tools.h"
#include "list/find_bar.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QPushButton>

namespace {

constexpr int kRuns = 3;

// Lets the window paint what changed, when anything did; nothing is timed.
void settle(PaintCounter& counter) {
    const int before = counter.count;
    QElapsedTimer timer;
    timer.start();
    while (counter.count == before && timer.elapsed() < 500)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

// Answers Yes to the delete question and OK to the confirmation of a save; the call editor
// gets a new title and Save. The clock starts where the person's part ends.
class RefreshPrompts : public Prompts {
public:
    int message(const QString& text, int, const QString&) override {
        if (text.startsWith(QLatin1String("Are you sure you want to delete"))) {
            timer.start();
            return Yes;
        }
        if (text.startsWith(QLatin1String("Record Successfully")))
            return Ok;
        fail(QStringLiteral("the program showed a box: ") + text);
    }
    std::optional<QString> input(const QString& prompt, const QString&) override {
        fail(QStringLiteral("the program asked: ") + prompt);
    }
    void showModal(QDialog& window) override {
        auto* editor = qobject_cast<Form2*>(&window);
        if (!editor)
            fail(QStringLiteral("the program opened another window"));
        editor->Text1->setText(editor->Text1->text() + QStringLiteral(" (again)"));
        timer.start();
        editor->PushButton2->click();
    }
    QElapsedTimer timer;
};

} // namespace

FindAndRefreshTimes timeFindAndRefresh(Form1& window, PaintCounter& counter, const QString& word) {
    FindAndRefreshTimes times{};
    CallListTools* tools = window.tools();
    tools->openFind();
    QLineEdit* text = tools->findBar()->FindText;
    std::vector<double> finds;
    for (int run = 0; run < kRuns; ++run) {
        text->setText(QString());
        settle(counter);
        QElapsedTimer timer;
        timer.start();
        text->setText(word);
        waitForPaint(counter);
        finds.push_back(milliseconds(timer));
        if (window.callList()->rowCount() == 0)
            fail(QStringLiteral("'%1' found no call").arg(word));
    }
    times.find = median(finds);
    tools->closeFind();
    settle(counter);

    Prompts* before = &CurrentPrompts();
    RefreshPrompts prompts;
    InstallPrompts(&prompts);
    std::vector<double> saves, deletes;
    const int total = window.callList()->totalRowCount();
    // The generated database is shared between runs: what is changed here is put back after.
    Connection& connection = SharedConnection();
    connection.execute(QStringLiteral("create temp table KeptCalls as select * from Calls "
                                      "where ID < 0"));
    QStringList restore;
    for (int run = 0; run < kRuns; ++run) {
        window.selectRow(window.callList()->rowCount() / 2 + run);
        settle(counter);
        const QString edited = window.callList()->text(window.selectedRow(), 0);
        restore << QStringLiteral("update Calls set Title='%1' where ID=%2")
                       .arg(DoubledQuotes(window.callList()->text(window.selectedRow(), 1)),
                            edited);
        window.PushButton1_Click();
        waitForPaint(counter);
        saves.push_back(milliseconds(prompts.timer));
        window.selectRow(window.callList()->rowCount() / 3 + run);
        settle(counter);
        connection.execute(QStringLiteral("insert into KeptCalls select * from Calls where ID=") +
                           window.callList()->text(window.selectedRow(), 0));
        window.PushButton3_Click();
        waitForPaint(counter);
        deletes.push_back(milliseconds(prompts.timer));
    }
    InstallPrompts(before);
    if (window.callList()->totalRowCount() != total - kRuns)
        fail(QStringLiteral("the list holds %1 calls after %2 deletes of %3")
                 .arg(window.callList()->totalRowCount())
                 .arg(kRuns)
                 .arg(total));
    connection.execute(QStringLiteral("insert into Calls select * from KeptCalls"));
    connection.execute(QStringLiteral("drop table KeptCalls"));
    for (const QString& statement : restore)
        connection.execute(statement);
    times.save = median(saves);
    times.remove = median(deletes);
    return times;
}
