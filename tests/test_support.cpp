#include "test_support.h"

#include "app/main_window.h"
#include "data/recordset.h"
#include "data/shared_connection.h"
#include "ui/app_paths.h"

#include <QDir>
#include <QFile>
#include <QTest>

ScriptedPrompts::ScriptedPrompts() {
    InstallPrompts(this);
}

ScriptedPrompts::~ScriptedPrompts() {
    InstallPrompts(nullptr);
}

int ScriptedPrompts::message(const QString& text, int style, const QString& title) {
    boxes.push_back({text, style, title});
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
}

TestEnvironment::~TestEnvironment() {
    ReleaseSharedConnection();
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
    if (!QFile::exists(databasePath()))
        installDatabase();
    CreateSharedConnection();
    SharedConnection().open(QStringLiteral("provider=microsoft.jet.oledb.4.0;data source=") +
                            databasePath() + QStringLiteral(";JET OLEDB:Database Password="));
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

void Exec(const QString& sql) {
    SharedConnection().execute(sql);
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
