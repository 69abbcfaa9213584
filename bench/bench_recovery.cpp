// Times what keeps a slip from losing anything and prints one "name = value" line per figure:
//
//   bench_recovery [--sizes N,N,...] [--cache FOLDER]
//
// - undo_delete_ms_<size>: Ctrl+Z after deleting a status that took 10,000 of the calls, until
//   the list shows them again; undo_restore_ms_<size> is the restore alone (one transaction);
// - history_open_ms: the History window of a call with 1,000 changes, until it is painted;
// - save_ms_<size> and save_without_history_ms_<size>: saving a new call in the call editor
//   (median of 15), with the history written and with its triggers dropped; save_ratio_<size>
//   is the first over the second.
// Each size runs in a child process on a private copy of the generated database.
#include "app/main_window.h"
#include "bench_support.h"
#include "calls/call_editor.h"
#include "data/shared_connection.h"
#include "history/call_history_window.h"
#include "list/call_list_model.h"
#include "records/deletions.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeView>
#include <QTreeWidget>
#include <unistd.h>

namespace {

constexpr int kTaken = 10000;
constexpr int kChanges = 1000;
constexpr int kSaves = 15;

// Answers every box as a person going ahead would; fails on windows.
class GoAheadPrompts : public Prompts {
public:
    int message(const QString&, int style, const QString&) override {
        return (style & 7) == YesNo ? Yes : Ok;
    }
    std::optional<QString> input(const QString& prompt, const QString&) override {
        fail(QStringLiteral("the program asked: ") + prompt);
    }
    void showModal(QDialog&) override {}
};

void pick(QComboBox* list, int index) {
    list->setCurrentIndex(index);
}

// Saves a new call through the call editor; answers the time of the click on Save.
double saveOnce(int number) {
    Form2 editor;
    editor.m_ID = QString();
    editor.Form_Load();
    editor.Text1->setText(QStringLiteral("Benchmark call %1").arg(number));
    for (QComboBox* list :
         {editor.Combo1, editor.Combo2, editor.Combo6, editor.Combo3, editor.Combo4, editor.Combo5})
        pick(list, 0);
    QElapsedTimer timer;
    timer.start();
    editor.PushButton2_Click();
    return milliseconds(timer);
}

double medianSave() {
    std::vector<double> times;
    for (int i = 0; i < kSaves; ++i)
        times.push_back(saveOnce(i));
    return median(times);
}

int child(int argc, char** argv) {
    QApplication app(argc, argv);
    GoAheadPrompts prompts;
    InstallPrompts(&prompts);
    Form1 window;
    PaintCounter counter(window.ListView1->viewport());
    openWindow(window, counter);
    const int rows = window.callList()->rowCount();
    Connection& db = SharedConnection();

    // A status that 10,000 calls carry, deleted as the call editor deletes it.
    db.execute(QStringLiteral("insert into [Status] values ('Benchmark')"));
    db.execute(QStringLiteral("update Calls set Status='Benchmark' where ID in (select ID from "
                              "Calls order by ID limit %1)")
                   .arg(kTaken));
    window.LoadCalls();
    waitForPaint(counter);
    Deletions::Run(db, [&] {
        db.execute(QStringLiteral("delete from [Status] where Status='Benchmark'"));
        db.execute(QStringLiteral("delete from Calls where Status='Benchmark'"));
    });
    window.LoadCalls();
    waitForPaint(counter);
    if (window.callList()->rowCount() != rows - kTaken)
        fail(QStringLiteral("the delete took %1 calls").arg(rows - window.callList()->rowCount()));
    QElapsedTimer undo;
    undo.start();
    window.undoDelete();
    waitForPaint(counter);
    print(QStringLiteral("undo_delete_ms"), milliseconds(undo));
    if (window.callList()->rowCount() != rows)
        fail(QStringLiteral("the undo listed %1 calls of %2")
                 .arg(window.callList()->rowCount())
                 .arg(rows));
    // The restore alone, once more.
    Deletions::Run(db, [&] {
        db.execute(QStringLiteral("delete from [Status] where Status='Benchmark'"));
        db.execute(QStringLiteral("delete from Calls where Status='Benchmark'"));
    });
    QElapsedTimer restore;
    restore.start();
    Deletions::Restore(db, Deletions::TakeLast());
    print(QStringLiteral("undo_restore_ms"), milliseconds(restore));

    // A call with 1,000 changes.
    db.beginTransaction();
    for (int i = 0; i < kChanges; ++i)
        db.execute(QStringLiteral("update Calls set Title='Changed %1 times' where ID=1").arg(i));
    db.commit();
    std::vector<double> opens;
    for (int run = 0; run < 5; ++run) {
        QElapsedTimer timer;
        timer.start();
        CallHistoryWindow history(db, 1, QStringLiteral("Changed"), &window);
        PaintCounter painted(history.list()->viewport());
        history.show();
        waitForPaint(painted);
        opens.push_back(milliseconds(timer));
        if (history.list()->topLevelItemCount() < kChanges)
            fail(QStringLiteral("the history showed %1 changes")
                     .arg(history.list()->topLevelItemCount()));
    }
    print(QStringLiteral("history_open_ms"), median(opens));

    // Saving with the history and without it, in turns.
    const double with = medianSave();
    db.execute(QStringLiteral("drop trigger CallsHistoryOnInsert"));
    db.execute(QStringLiteral("drop trigger CallsHistoryOnUpdate"));
    const double without = medianSave();
    print(QStringLiteral("save_ms"), with);
    print(QStringLiteral("save_without_history_ms"), without);
    InstallPrompts(nullptr);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && qstrcmp(argv[1], "--child") == 0)
        return child(argc, argv);
    QCoreApplication app(argc, argv);
    const BenchOptions options = parseOptions({1000000});
    for (long long calls : options.sizes) {
        const QString source = database(options.cache, calls);
        QTemporaryDir work;
        const QString copy = work.path() + QStringLiteral("/calls.mdb");
        if (!work.isValid() || !QFile::copy(source, copy))
            fail(QStringLiteral("cannot copy %1").arg(source));
        // The copy is on the disk before the child starts: otherwise the system writes its
        // gigabyte out while the undo's commit waits for the disk, and the figure measures that.
        QFile written(copy);
        if (!written.open(QIODevice::ReadWrite) || ::fsync(written.handle()) != 0)
            fail(QStringLiteral("cannot write %1 to the disk").arg(copy));
        written.close();
        auto figures = runChild({QStringLiteral("--child")}, copy);
        const QString suffix = QLatin1Char('_') + sizeSuffix(calls);
        print(QStringLiteral("undo_delete_ms") + suffix, figures[QStringLiteral("undo_delete_ms")]);
        print(QStringLiteral("undo_restore_ms") + suffix,
              figures[QStringLiteral("undo_restore_ms")]);
        print(QStringLiteral("history_open_ms"), figures[QStringLiteral("history_open_ms")]);
        const double with = figures[QStringLiteral("save_ms")];
        const double without = figures[QStringLiteral("save_without_history_ms")];
        print(QStringLiteral("save_ms") + suffix, with);
        print(QStringLiteral("save_without_history_ms") + suffix, without);
        print(QStringLiteral("save_ratio") + suffix, with / without);
    }
    return 0;
}
