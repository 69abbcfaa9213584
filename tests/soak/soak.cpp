// Crash-safety soak: runs the program's own save paths in a child process, kills the child
// with SIGKILL at a random moment, and checks the database file after every kill: the
// engine's integrity check, every save that the child had confirmed, no cascade left half
// done, and a clean start of the program on the file.
//
//   quorvane_soak --kills N [--seed S]
//
// prints kills, integrity_failures, confirmed_rows_lost, half_cascades and failed_starts, and
// exits with 1 when any of them but kills is not 0.
#include "app/call_list_model.h"
#include "app/main_window.h"
#include "calls/call_editor.h"
#include "data/connection.h"
#include "data/recordset.h"
#include "data/shared_connection.h"
#include "test_support.h"
#include "ui/app_paths.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

const QStringList kPeople = {"Nora|Quill", "Bram|Holt", "Cora|Vane"};

void useFolders(const QString& root) {
    qputenv("XDG_DATA_HOME", (root + "/data").toUtf8());
    qputenv("XDG_CONFIG_HOME", (root + "/config").toUtf8());
    SetProgramFolder(root + "/program");
}

QString databaseOf(const QString& root) {
    return root + "/data/Merrowfen/Quorvane/dbData.mdb";
}

// ---- the child: the program's save paths, one after another, until it is killed ----------

class Child {
public:
    Child(const QString& root, quint32 seed) : m_root(root), m_random(seed), m_seed(seed) {
        m_log.setFileName(root + "/confirmed.log");
        m_log.open(QIODevice::Append | QIODevice::Unbuffered);
    }

    int run() {
        m_window.Form_Load();
        if (!m_prompts.boxes.empty() || SharedConnection().state() != 1)
            return 3;
        QFile(m_root + "/ready").open(QIODevice::WriteOnly);
        for (int step = 0;; ++step) {
            m_prompts.clear();
            const QString name = QStringLiteral("%1-%2").arg(m_seed).arg(step);
            switch (m_random.bounded(8)) {
            case 0:
            case 1:
                if (saveCall("keep " + name, "Open"))
                    confirm("call", "keep " + name);
                break;
            case 2:
                cascade("Temp " + name);
                break;
            case 3:
                if (addValue(&Form2::PushButton11_Click, &Form2::Combo4, "Keep " + name))
                    confirm("category", "Keep " + name);
                break;
            case 4:
                deleteCall("gone " + name);
                break;
            case 5:
                m_window.PushButton4_Click();
                break;
            default:
                for (int i = 1; i <= 12; ++i)
                    SaveSetting(kVendor, kProductTitle, "ColumnHeaders" + QString::number(i),
                                QString::number(1000 + m_random.bounded(900)));
                SaveSetting(kVendor, kProductTitle, "WindowState", "0");
                break;
            }
        }
    }

private:
    // What was confirmed to the user goes to the log before anything else happens.
    void confirm(const char* kind, const QString& value) {
        m_log.write(QByteArray(kind) + '\t' + value.toUtf8() + '\n');
        fdatasync(m_log.handle());
    }

    void openEditor(Form2& editor) {
        editor.m_ID = QString();
        editor.Form_Load();
    }

    bool saveCall(const QString& title, const QString& status) {
        Form2 editor;
        openEditor(editor);
        editor.Text1->setText(title);
        editor.Text3->setPlainText(QString(m_random.bounded(2000), QLatin1Char('c')));
        for (QComboBox* list : {editor.Combo1, editor.Combo2, editor.Combo6})
            list->setCurrentIndex(0);
        editor.Combo3->setCurrentIndex(editor.Combo3->findText(status));
        editor.Combo4->setCurrentIndex(editor.Combo4->findText("Network"));
        editor.Combo5->setCurrentIndex(editor.Combo5->findText("High"));
        editor.PushButton2_Click();
        return m_prompts.texts() == QStringList{"Record Successfully Saved"};
    }

    bool addValue(void (Form2::*add)(), QComboBox* Form2::*list, const QString& value) {
        Form2 editor;
        openEditor(editor);
        m_prompts.type(value);
        (editor.*add)();
        return m_prompts.boxes.empty() && (editor.*list)->findText(value) >= 0;
    }

    // A status with calls, deleted with them.
    void cascade(const QString& status) {
        if (!addValue(&Form2::PushButton7_Click, &Form2::Combo3, status))
            return;
        saveCall(status + " a", status);
        saveCall(status + " b", status);
        Form2 editor;
        openEditor(editor);
        editor.Combo3->setCurrentIndex(editor.Combo3->findText(status));
        m_prompts.answer(Prompts::Yes);
        editor.PushButton8_Click();
    }

    void deleteCall(const QString& title) {
        saveCall(title, "Open");
        m_window.LoadCalls();
        for (int row = 0; row < m_window.callList()->rowCount(); ++row) {
            if (m_window.callList()->text(row, 1) == title) {
                m_window.selectRow(row);
                m_prompts.answer(Prompts::Yes);
                m_window.PushButton3_Click();
                return;
            }
        }
    }

    QString m_root;
    QRandomGenerator m_random;
    quint32 m_seed;
    QFile m_log;
    ScriptedPrompts m_prompts;
    Form1 m_window;
};

// ---- the parent: kills and checks ----------------------------------------------------------

int count(Connection& connection, const QString& sql) {
    Recordset records;
    records.open(sql, connection);
    return records.eof() ? 0 : int(records.field(0).toInteger());
}

QString sqlText(QString text) {
    return text.replace(QLatin1Char('\''), QStringLiteral("''"));
}

struct Figures {
    int kills = 0;
    int integrityFailures = 0;
    int confirmedRowsLost = 0;
    int halfCascades = 0;
    int failedStarts = 0;
};

void check(const QString& root, Figures& figures) {
    Connection connection;
    try {
        connection.open("data source=" + databaseOf(root));
        Recordset integrity;
        integrity.open("PRAGMA integrity_check", connection);
        if (integrity.eof() || integrity.field(0).toText() != QLatin1String("ok"))
            ++figures.integrityFailures;
        integrity.close();
        QFile log(root + "/confirmed.log");
        log.open(QIODevice::ReadOnly);
        for (const QByteArray& line : log.readAll().split('\n')) {
            const int tab = line.indexOf('\t');
            if (tab < 0)
                continue;
            const QString kind = QString::fromUtf8(line.left(tab));
            const QString value = sqlText(QString::fromUtf8(line.mid(tab + 1)));
            const QString sql = kind == "call"
                                    ? "select count(*) from Calls where Title='" + value + "'"
                                    : "select count(*) from Categories where Category='" + value +
                                          "'";
            if (count(connection, sql) == 0)
                ++figures.confirmedRowsLost;
        }
        figures.halfCascades += count(
            connection,
            "select count(*) from Calls where Status not in (select Status from Status) or "
            "Category not in (select Category from Categories) or Priority not in (select "
            "Priority from Priorities) or [Assigned To] not in (select ID from Employees) or "
            "[Opened By] not in (select ID from Employees) or Caller not in (select ID from "
            "Customers)");
    } catch (const Failure& failure) {
        std::fprintf(stderr, "soak: %s\n", qPrintable(failure.description()));
        ++figures.integrityFailures;
    }
    connection.close();

    // The program starts on the file without a box and lists every call.
    ScriptedPrompts prompts;
    {
        Form1 window;
        window.Form_Load();
        const bool clean = prompts.boxes.empty() && SharedConnection().state() == 1 &&
                           window.callList()->rowCount() ==
                               count(SharedConnection(), "select count(*) from Calls");
        if (!clean) {
            ++figures.failedStarts;
            std::fprintf(stderr, "soak: start failed: %s\n", qPrintable(prompts.texts().join(" | ")));
        }
        window.Form_QueryUnload();
    }
}

void seedDatabase(const QString& root) {
    ScriptedPrompts prompts;
    {
        Form1 window;
        window.Form_Load(); // first run: folders and the copy of the template
        for (const QString& person : kPeople) {
            const QStringList parts = person.split('|');
            for (const char* table : {"Employees", "Customers"})
                SharedConnection().execute(
                    QStringLiteral("insert into %1 ([First Name],[Last Name]) values ('%2','%3')")
                        .arg(QLatin1String(table), parts[0], parts[1]));
        }
        SharedConnection().execute("insert into Status values ('Open')");
        SharedConnection().execute("insert into Categories values ('Network')");
        SharedConnection().execute("insert into Priorities values ('High')");
        window.Form_QueryUnload();
    }
    (void)root;
}

pid_t spawnChild(const QString& root, quint32 seed) {
    const QByteArray program = QCoreApplication::applicationFilePath().toLocal8Bit();
    const QByteArray folder = root.toLocal8Bit();
    const QByteArray seedText = QByteArray::number(seed);
    char* arguments[] = {const_cast<char*>(program.constData()), const_cast<char*>("--child"),
                         const_cast<char*>(folder.constData()),
                         const_cast<char*>(seedText.constData()), nullptr};
    pid_t pid = 0;
    if (posix_spawn(&pid, program.constData(), nullptr, nullptr, arguments, environ) != 0)
        return -1;
    return pid;
}

int runParent(int kills, quint32 seed) {
    QTemporaryDir root;
    QDir().mkpath(root.path() + "/program");
    QFile::copy(QStringLiteral(QUORVANE_BLANK_DB_PATH), root.path() + "/program/dbBlank.mdb");
    useFolders(root.path());
    seedDatabase(root.path());

    QRandomGenerator random(seed);
    Figures figures;
    while (figures.kills < kills) {
        QFile::remove(root.path() + "/ready");
        const pid_t child = spawnChild(root.path(), random.generate());
        if (child < 0) {
            std::fprintf(stderr, "soak: the child cannot be started\n");
            return 2;
        }
        // Mostly once the child works; now and then while it starts.
        if (random.bounded(10) > 0) {
            for (int waited = 0; waited < 60000 && !QFile::exists(root.path() + "/ready");
                 waited += 5) {
                int status = 0;
                if (waitpid(child, &status, WNOHANG) == child) {
                    std::fprintf(stderr, "soak: the child ended by itself (%d)\n", status);
                    ++figures.failedStarts;
                    break;
                }
                QThread::msleep(5);
            }
        }
        QThread::usleep(random.bounded(400000));
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        ++figures.kills;
        check(root.path(), figures);
    }
    std::printf("kills = %d\nintegrity_failures = %d\nconfirmed_rows_lost = %d\n"
                "half_cascades = %d\nfailed_starts = %d\n",
                figures.kills, figures.integrityFailures, figures.confirmedRowsLost,
                figures.halfCascades, figures.failedStarts);
    return figures.integrityFailures + figures.confirmedRowsLost + figures.halfCascades +
                       figures.failedStarts ==
                   0
               ? 0
               : 1;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() == 4 && arguments[1] == "--child") {
        useFolders(arguments[2]);
        return Child(arguments[2], arguments[3].toUInt()).run();
    }
    int kills = 100;
    quint32 seed = QRandomGenerator::system()->generate();
    for (int i = 1; i + 1 < arguments.size(); i += 2) {
        if (arguments[i] == "--kills")
            kills = arguments[i + 1].toInt();
        else if (arguments[i] == "--seed")
            seed = arguments[i + 1].toUInt();
    }
    std::printf("seed = %u\n", seed);
    return runParent(kills, seed);
}
