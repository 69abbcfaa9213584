#pragma once

#include "ui/prompts.h"

#include "data/failure.h"

#include <QDialog>
#include <QStringList>
#include <QTemporaryDir>
#include <csignal>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <sys/resource.h>
#include <vector>

class Connection;

// A box that the program showed.
struct ShownBox {
    QString text;
    int style;
    QString title;
};

// Prompts that answer from queues instead of a person. Message boxes take the next queued
// answer (OK for OK-only boxes, Yes for questions when the queue is empty); input boxes the
// next queued text (nothing means the user cancelled); a modal window runs the next queued
// callback on the window instead of blocking.
class ScriptedPrompts : public Prompts {
public:
    ScriptedPrompts();
    ~ScriptedPrompts() override;

    int message(const QString& text, int style, const QString& title) override;
    std::optional<QString> input(const QString& prompt, const QString& title) override;
    void showModal(QDialog& window) override;

    void answer(int reply) { m_answers.push_back(reply); }
    void type(std::optional<QString> text) { m_inputs.push_back(std::move(text)); }
    void onModal(std::function<void(QDialog&)> callback) {
        m_modals.push_back(std::move(callback));
    }
    // Runs before every message box is answered, as if someone acted while it was open.
    std::function<void(const ShownBox&)> whileShown;

    std::vector<ShownBox> boxes;
    struct Asked {
        QString prompt;
        QString title;
    };
    std::vector<Asked> inputs;
    int modalCount = 0;

    // Texts of the boxes shown, in order.
    QStringList texts() const;
    // The error reports among the boxes (titled "Application Error").
    std::vector<ShownBox> errorReports() const;
    void clear() {
        boxes.clear();
        inputs.clear();
    }

private:
    std::deque<int> m_answers;
    std::deque<std::optional<QString>> m_inputs;
    std::deque<std::function<void(QDialog&)>> m_modals;
};

// A private data home, config home and program folder for one test; the program folder holds
// a fresh copy of the template database. The environment is restored on destruction.
// With QUORVANE_TEST_ENGINE=server (CTest's second run of a suite) the test works on a fresh
// database of its own on the server that QUORVANE_TEST_SERVER names: the "Server" setting
// points there, and openSharedConnection() opens it.
class TestEnvironment {
public:
    TestEnvironment();
    ~TestEnvironment();

    // True when the tests run on the database server.
    static bool onServer();
    // The URI of this test's server database (empty on the local engine).
    QString serverUri() const { return m_serverUri; }
    // A further fresh server database, dropped with the environment.
    QString newServerDatabase();

    QString dataHome() const;
    QString configHome() const;
    QString programFolder() const;
    // <data home>/Merrowfen/Quorvane and the database in it.
    QString dataFolder() const;
    QString databasePath() const;

    // Creates the data folder with a fresh copy of the template database.
    void installDatabase() const;
    // Opens the shared connection on the installed database (installing it first).
    void openSharedConnection() const;
    // A connection of its own to the same database (file or server database), as another
    // desk or another copy of the program has.
    std::unique_ptr<Connection> openOtherDesk() const;

private:
    QTemporaryDir m_root;
    QString m_serverUri;
    QStringList m_databases;
    QByteArray m_oldData;
    QByteArray m_oldConfig;
};

// Skips a test that is about the local database file when the suite runs on the server.
#define SKIP_ON_SERVER(why)                                                                        \
    do {                                                                                           \
        if (TestEnvironment::onServer())                                                           \
            QSKIP(why);                                                                            \
    } while (false)

// While alive, files of this process may grow to `bytes` only: a write past that fails as on a
// full disk (the signal the system sends for it is ignored meanwhile).
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &m_old);
        m_signal = signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        m_set = setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &m_old);
        signal(SIGXFSZ, m_signal);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    bool set() const { return m_set; }

private:
    rlimit m_old{};
    void (*m_signal)(int) = nullptr;
    bool m_set = false;
};

class Form1;
// Starts the program as its main() does: the main window's load step, then show.
std::unique_ptr<Form1> StartProgram();

// Runs SQL on the shared connection and reads single values, for checking results.
void Exec(const QString& sql);
QVariant Scalar(const QString& sql);
int Count(const QString& sql);
// Every row of a query as texts joined by '|' (Null as "<null>").
QStringList Rows(const QString& sql);

// The description of the failure that `fn` throws, or "<no failure>".
template <class Fn> inline QString failureOf(Fn fn) {
    try {
        fn();
    } catch (const Failure& failure) {
        return failure.description();
    }
    return QStringLiteral("<no failure>");
}
