// Times the employee editor opening on an employee with 10,000 open calls and prints
//
//   employee_editor_open_ms = ...
//
// the median of five openings, from Form_Load to the window shown with both call lists
// painted; employee_editor_load_ms is Form_Load alone (reading both lists). The database is made
// afresh in a temporary folder from the template beside this program: 20 employees, 50 customers
// and 10,000 open calls that employee 1 opened and is assigned to, so that both of its lists hold
// 10,000 rows, among 2,000 calls of others.
#include "bench_support.h"
#include "contacts/call_rows_model.h"
#include "contacts/employee_editor.h"
#include "data/connection.h"
#include "data/shared_connection.h"
#include "ui/prompts.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTreeView>
#include <QWindow>

namespace {

constexpr int kOpenCalls = 10000;
constexpr int kOtherCalls = 2000;
constexpr int kRuns = 5;

void fill(Connection& db) {
    db.beginTransaction();
    for (int i = 1; i <= 20; ++i)
        db.execute(QStringLiteral("insert into Employees ([First Name],[Last Name]) values "
                                  "('Staff%1','Member%1')")
                       .arg(i));
    for (int i = 1; i <= 50; ++i)
        db.execute(QStringLiteral("insert into Customers ([First Name],[Last Name]) values "
                                  "('Client%1','Person%1')")
                       .arg(i));
    for (const char* value : {"Open", "Pending"})
        db.execute(QStringLiteral("insert into [Status] values ('%1')").arg(value));
    for (int i = 0; i < kOpenCalls + kOtherCalls; ++i) {
        const int employee = i < kOpenCalls ? 1 : 2 + i % 19;
        db.execute(QStringLiteral("insert into Calls (Title,[Assigned To],[Opened By],[Opened "
                                  "Date],Status,Category,Priority,Comments,[Due Date],[Resolved "
                                  "By],[Resolved Date],Caller,[Call Time]) values ('Call number "
                                  "%1',%2,%2,'2026-%3-%4','Open','Hardware','High','','2026-12-%4',"
                                  "NULL,NULL,%5,'2026-%3-%4')")
                       .arg(i)
                       .arg(employee)
                       .arg(1 + i % 11)
                       .arg(1 + i % 28)
                       .arg(1 + i % 50));
    }
    db.commit();
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QTemporaryDir folder;
    const QString path = folder.path() + QStringLiteral("/dbData.mdb");
    if (!folder.isValid() ||
        !QFile::copy(QCoreApplication::applicationDirPath() + QStringLiteral("/dbBlank.mdb"), path))
        fail(QStringLiteral("cannot copy the template database"));
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    FailingPrompts prompts;
    InstallPrompts(&prompts);
    CreateSharedConnection();
    SharedConnection().open(QStringLiteral("data source=") + path);
    fill(SharedConnection());

    std::vector<double> times, loads;
    for (int run = 0; run < kRuns; ++run) {
        QElapsedTimer timer;
        timer.start();
        Form3 editor;
        editor.m_ID = QStringLiteral("1");
        editor.Form_Load();
        loads.push_back(milliseconds(timer));
        editor.show();
        // Shown and both lists laid out and painted.
        while (!editor.windowHandle() || !editor.windowHandle()->isExposed())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        editor.ListView1->viewport()->repaint();
        editor.ListView2->viewport()->repaint();
        times.push_back(milliseconds(timer));
        if (editor.openedCalls()->rowCount() != kOpenCalls ||
            editor.assignedCalls()->rowCount() != kOpenCalls)
            fail(QStringLiteral("the lists hold %1 and %2 calls instead of %3")
                     .arg(editor.openedCalls()->rowCount())
                     .arg(editor.assignedCalls()->rowCount())
                     .arg(kOpenCalls));
    }
    print(QStringLiteral("employee_editor_open_ms"), median(times));
    print(QStringLiteral("employee_editor_load_ms"), median(loads));
    ReleaseSharedConnection();
    InstallPrompts(nullptr);
    return 0;
}
