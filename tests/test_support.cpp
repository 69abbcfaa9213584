#include "test_support.h"

#include "app/main_window.h"
#include "data/failure.h"
#include "data/recordset.h"
#include "data/server_link.h"
#include "data/server_setup.h"
#include "data/server_upgrades.h"
#include "data/shared_connection.h"
#include "ui/app_paths.h"
#include "ui/appearance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QTest>
#include <QThread>
#include <QUrlQuery>
#include <cstdlib>

namespace {

// The server URI with another database name.
QString withDatabase(const QString& uri, const QString& database) {
    QUrl url(uri);
    url.setPath(QLatin1Char('/') + database);
    return url.toString();
}

QString maintenanceUri() {
    return qEnvironmentVariable("QUORVANE_TEST_SERVER");
}

// The server run of a suite without a server to run on is skipped (CTest's return code 77).
const bool serverMissing = [] {
    if (qEnvironmentVariable("QUORVANE_TEST_ENGINE") == QLatin1String("server") &&
        maintenanceUri().isEmpty()) {
        std::fprintf(stderr, "No database server for the tests (QUORVANE_TEST_SERVER).\n");
        std::exit(77);
    }
    return false;
}();

// A new database made from an empty call log, installed once per server run and schema: the
// template is named after the schema scripts, so that a suite built with other scripts (a
// mutation run changes them between suites on one server) gets its own.
QString createServerDatabase() {
    static const QString blank =
        QStringLiteral("quorvane_blank_") +
        QString::fromLatin1(QCryptographicHash::hash(QByteArray(ServerSchemaScript()) +
                                                         ServerIndexesScript().toUtf8() +
                                                         ServerAuditScript(),
                                                     QCryptographicHash::Sha256)
                                .toHex()
                                .left(16));
    ServerLink maintenance(maintenanceUri(), false);
    maintenance.run(QStringLiteral("select pg_advisory_lock(7312)"));
    auto exists = maintenance.run(
        QStringLiteral("select count(*) from pg_database where datname = $1"), {blank});
    if (QByteArray(exists->text(0, 0)).toInt() == 0) {
        maintenance.run(QStringLiteral("create database %1").arg(blank));
        InstallServerSchema(withDatabase(maintenanceUri(), blank));
    }
    maintenance.run(QStringLiteral("select pg_advisory_unlock(7312)"));
    static int counter = 0;
    const QString name =
        QStringLiteral("test_%1_%2").arg(QCoreApplication::applicationPid()).arg(++counter);
    // Databases made from one template at the same moment may wait for each other.
    for (int attempt = 0;; ++attempt) {
        try {
            maintenance.run(QStringLiteral("create database %1 template %2").arg(name, blank));
            break;
        } catch (const Failure&) {
            if (attempt == 20)
                throw;
            QThread::msleep(100);
        }
    }
    return withDatabase(maintenanceUri(), name);
}

} // namespace

bool TestEnvironment::onServer() {
    return !serverMissing &&
           qEnvironmentVariable("QUORVANE_TEST_ENGINE") == QLatin1String("server");
}

QString TestEnvironment::newServerDatabase() {
    const QString uri = createServerDatabase();
    m_databases << QUrl(uri).path().mid(1);
    return uri;
}

ScriptedPrompts::ScriptedPrompts() {
    InstallPrompts(this);
}

ScriptedPrompts::~ScriptedPrompts() {
    InstallPrompts(nullptr);
}

int ScriptedPrompts::message(const QString& text, int style, const QString& title) {
    boxes.push_back({text, style, title});
    if (whileShown)
        whileShown(boxes.back());
    const bool question = (style & 7) == YesNo;
    if (!m_answers.empty()) {
        const int reply = m_answers.front();
        m_answers.pop_front();
        return reply;
    }
    return question ? Yes : Ok;
}

std::optional<QString> ScriptedPrompts::input(const QString& prompt, const QString& title) {
    inputs.push_back({prompt, title});
    std::optional<QString> reply;
    if (!m_inputs.empty()) {
        if (m_inputs.front().has_value())
            reply = QString(*m_inputs.front());
        m_inputs.pop_front();
    }
    return reply;
}

void ScriptedPrompts::showModal(QDialog& window) {
    ++modalCount;
    if (m_modals.empty())
        return;
    auto callback = std::move(m_modals.front());
    m_modals.pop_front();
    callback(window);
}

QStringList ScriptedPrompts::texts() const {
    QStringList list;
    for (const ShownBox& box : boxes)
        list << box.text;
    return list;
}

std::vector<ShownBox> ScriptedPrompts::errorReports() const {
    std::vector<ShownBox> reports;
    for (const ShownBox& box : boxes) {
        if (box.title == QLatin1String("Application Error"))
            reports.push_back(box);
    }
    return reports;
}

TestEnvironment::TestEnvironment()
    : m_oldData(qgetenv("XDG_DATA_HOME")), m_oldConfig(qgetenv("XDG_CONFIG_HOME")) {
    QDir root(m_root.path());
    root.mkpath(QStringLiteral("data"));
    root.mkpath(QStringLiteral("config"));
    root.mkpath(QStringLiteral("program"));
    qputenv("XDG_DATA_HOME", dataHome().toUtf8());
    qputenv("XDG_CONFIG_HOME", configHome().toUtf8());
    QFile::copy(QStringLiteral(QUORVANE_BLANK_DB_PATH), programFolder() + "/dbBlank.mdb");
    SetProgramFolder(programFolder());
    if (onServer()) {
        m_serverUri = newServerDatabase();
        SaveSetting(kVendor, kProductTitle, QStringLiteral("Server"), m_serverUri);
    }
}

TestEnvironment::~TestEnvironment() {
    ReleaseSharedConnection();
    Form1::UseServer(QString());
    if (!m_databases.isEmpty()) {
        try {
            ServerLink maintenance(maintenanceUri(), false);
            for (const QString& name : m_databases)
                maintenance.run(
                    QStringLiteral("drop database if exists %1 with (force)").arg(name));
        } catch (const Failure& failure) {
            qWarning("%s", qPrintable(failure.description()));
        }
    }
    SetProgramFolder(QString());
    qputenv("XDG_DATA_HOME", m_oldData);
    qputenv("XDG_CONFIG_HOME", m_oldConfig);
}

QString TestEnvironment::dataHome() const {
    return m_root.path() + "/data";
}
QString TestEnvironment::configHome() const {
    return m_root.path() + "/config";
}
QString TestEnvironment::programFolder() const {
    return m_root.path() + "/program";
}
QString TestEnvironment::dataFolder() const {
    return dataHome() + "/Merrowfen/Quorvane";
}
QString TestEnvironment::databasePath() const {
    return dataFolder() + "/dbData.mdb";
}

void TestEnvironment::installDatabase() const {
    QDir().mkpath(dataFolder());
    QFile::remove(databasePath());
    QFile::copy(QStringLiteral(QUORVANE_BLANK_DB_PATH), databasePath());
    QFile::setPermissions(databasePath(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

void TestEnvironment::openSharedConnection() const {
    if (onServer()) {
        CreateSharedConnection();
        SharedConnection().open(m_serverUri);
        return;
    }
    if (!QFile::exists(databasePath()))
        installDatabase();
    CreateSharedConnection();
    SharedConnection().open(QStringLiteral("provider=microsoft.jet.oledb.4.0;data source=") +
                            databasePath() + QStringLiteral(";JET OLEDB:Database Password="));
}

std::unique_ptr<Connection> TestEnvironment::openOtherDesk() const {
    auto other = std::make_unique<Connection>();
    if (onServer())
        other->open(m_serverUri);
    else
        other->open(QStringLiteral("data source=") + databasePath());
    return other;
}

std::unique_ptr<Form1> StartProgram() {
    auto window = std::make_unique<Form1>();
    window->Form_Load();
    window->show();
    if (!window->isMinimized() && !QTest::qWaitForWindowExposed(window.get()))
        qWarning("The main window was not shown.");
    QCoreApplication::processEvents();
    // The rows arrive after the window is shown.
    while (window->listFilling())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return window;
}

namespace {

// On the server, the few statements that tests use to break the database on purpose, written
// for the local engine, in the server's own words.
bool execOnServer(const QString& sql) {
    static QHash<QString, QString> triggerTables;
    static const QRegularExpression create(
        QStringLiteral(R"(^create (?:temp )?trigger (\w+) before (\w+) on \[?([\w ]+)\]? begin )"
                       R"(select raise\(abort, '([^']*)'\); end$)"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression drop(QStringLiteral(R"(^drop trigger (\w+)$)"),
                                         QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression dropList(
        QStringLiteral(R"(^drop table (Status|Categories|Priorities)$)"),
        QRegularExpression::CaseInsensitiveOption);
    ServerLink* server = SharedConnection().server();
    if (const auto m = create.match(sql); m.hasMatch()) {
        const QString name = m.captured(1).toLower();
        // The value lists are views; their rows are kept in tables of their own.
        static const QHash<QString, QString> entries{{"status", "status_entries"},
                                                     {"categories", "category_entries"},
                                                     {"priorities", "priority_entries"}};
        QString table = m.captured(3).toLower();
        table = entries.value(table, table);
        triggerTables.insert(name, table);
        server->run(QStringLiteral("create or replace function %1() returns trigger language "
                                   "plpgsql as $$ begin raise exception '%2'; end $$")
                        .arg(name, m.captured(4)));
        server->run(QStringLiteral("create trigger %1 before %2 on \"%3\" for each statement "
                                   "execute function %1()")
                        .arg(name, m.captured(2), table));
        return true;
    }
    if (const auto m = drop.match(sql); m.hasMatch()) {
        const QString name = m.captured(1).toLower();
        server->run(
            QStringLiteral("drop trigger %1 on \"%2\"").arg(name, triggerTables.value(name)));
        return true;
    }
    if (const auto m = dropList.match(sql); m.hasMatch()) {
        server->run(QStringLiteral("drop view %1").arg(m.captured(1).toLower()));
        return true;
    }
    return false;
}

} // namespace

void Exec(const QString& sql) {
    if (SharedConnection().server() && execOnServer(sql))
        return;
    try {
        SharedConnection().execute(sql);
    } catch (const Failure& failure) {
        // A test that writes a call naming what does not exist, on purpose, works on a server
        // database without the rule it breaks, as one written before the rule was.
        static const QRegularExpression rule(QStringLiteral("constraint \"(calls_[a-z_]+)\""));
        const QRegularExpressionMatch broken = rule.match(failure.description());
        if (!SharedConnection().server() || SharedConnection().inTransaction() ||
            !broken.hasMatch())
            throw;
        ServerLink& link = *SharedConnection().server();
        link.run(QStringLiteral("alter table calls drop constraint %1").arg(broken.captured(1)));
        // The refused row took an id: the next is given as if it had never been tried.
        link.run(QStringLiteral("select setval(pg_get_serial_sequence('calls', 'id'), "
                                "coalesce(max(id), 0) + 1, false) from calls"));
        Exec(sql);
    }
}

QVariant Scalar(const QString& sql) {
    Recordset records;
    records.open(sql, SharedConnection());
    if (records.eof())
        return QVariant();
    const Value value = records.field(0);
    return value.isNull() ? QVariant() : QVariant(value.joined());
}

int Count(const QString& sql) {
    return Scalar(sql).toInt();
}

QStringList Rows(const QString& sql) {
    QStringList rows;
    Recordset records;
    records.open(sql, SharedConnection());
    while (!records.eof()) {
        QStringList cells;
        for (int i = 0; i < records.fieldCount(); ++i) {
            const Value value = records.field(i);
            cells << (value.isNull() ? QStringLiteral("<null>") : value.joined());
        }
        rows << cells.join('|');
        records.moveNext();
    }
    return rows;
}
