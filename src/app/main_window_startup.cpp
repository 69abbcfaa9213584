// Start-up and shutdown of the main window: the data folder and database file, the skin and
// pointer, the shared connection, the list's columns and window state kept in the settings, and
// the first fill of the list.
#include "app/main_window.h"

#include "app/database_start.h"
#include "app/live_refresh.h"
#include "data/failure.h"
#include "data/private_files.h"
#include "data/recordset.h"
#include "data/server_link.h"
#include "data/shared_connection.h"
#include "list/call_list_loader.h"
#include "list/call_list_model.h"
#include "records/call_columns.h"
#include "ui/app_paths.h"
#include "ui/appearance.h"
#include "ui/error_trap.h"
#include "ui/program_icon.h"
#include "ui/prompts.h"
#include "ui/read_only_login.h"
#include "ui/twips.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QLocale>
#include <QPushButton>
#include <algorithm>
#include <cmath>

namespace {

QString setting(const QString& key, const QString& defaultValue) {
    return GetSetting(kVendor, kProductTitle, key, defaultValue);
}

void saveSetting(const QString& key, const QString& value) {
    SaveSetting(kVendor, kProductTitle, key, value);
}

// The widest a list column gets, in pixels; wider stored widths are narrowed to it, and what
// is saved at shutdown then reads back the same.
constexpr int kWidestColumn = 100000;

// A setting that cannot be used: one cause for all of them, so that a settings file full of
// garbage gives one box, counting the rest.
[[noreturn]] void unusableSetting(const QString& description) {
    throw Failure(description, QStringLiteral("unusable settings"), QStringLiteral("settings"));
}

// A stored column width in twips; anything but a non-negative number fails.
double storedWidth(const QString& key, const QString& text) {
    bool ok = false;
    const float value = text.trimmed().toFloat(&ok);
    if (!ok || !std::isfinite(value) || value < 0)
        unusableSetting(QStringLiteral("The saved setting %1 ('%2') is no column width; the "
                                       "column keeps its usual width, and the right one is saved "
                                       "when the program closes.")
                            .arg(key, text));
    return std::min(double(value), PixelsToTwips(kWidestColumn));
}

void makeFolder(const QString& path) {
    if (!QDir().mkdir(path))
        throw Failure(QStringLiteral("Path/File access error: the folder '%1' cannot be created. "
                                     "Check that '%2' is a folder and can be written.")
                          .arg(path, QFileInfo(path).absolutePath()));
    PrivateFiles::restrictFolder(path);
}

int windowStateNumber(Qt::WindowStates state) {
    if (state & Qt::WindowMinimized)
        return 1;
    if (state & Qt::WindowMaximized)
        return 2;
    return 0;
}

} // namespace

void Form1::Form_Load() {
    ErrorTrap trap("Form1", "Form_Load");
    const QString vendorFolder = SpecialFolderPath(kCommonAppData) + QLatin1Char('/') + kVendor;
    if (trap.test(100, [&] { return !FileExists(vendorFolder); }))
        trap.run(102, [&] { makeFolder(vendorFolder); });
    if (trap.test(104, [&] { return !FileExists(DataFolder()); }))
        trap.run(106, [&] { makeFolder(DataFolder()); });
    const QString database = DataFolder() + QStringLiteral("/dbData.mdb");
    // An empty file holds no data: it counts as missing. A desk on a database server keeps no
    // file of its own.
    const bool onServer = ServerLink::isServerUri(ConnectionString().trimmed());
    if (trap.test(108,
                  [&] { return !onServer && (!FileExists(database) || IsEmptyFile(database)); })) {
        trap.run(110, [&] {
            const QString keptAs = MakeDatabaseFromTemplate(
                ProgramFolder() + QStringLiteral("/dbBlank.mdb"), database);
            if (!keptAs.isEmpty())
                MsgBox(QStringLiteral("The database file '%1' was empty (0 bytes) and held no "
                                      "calls, so a new empty database was made. The empty file "
                                      "was kept as '%2'.")
                           .arg(database, keptAs),
                       Prompts::Exclamation);
        });
    }
    trap.run(112, [&] { ApplySkin(this, m_client); });
    const QString cursorFile = ProgramFolder() + QLatin1Char('/') + kHandCursorFile;
    if (trap.test(114, [&] { return FileExists(cursorFile); }))
        trap.run(116, [&] { m_pointer->loadCustom(cursorFile); });
    trap.run(138, [&] {
        setWindowTitle(kProductTitle);
        // Every window of the program shows the program's icon.
        QApplication::setWindowIcon(ProgramIcon());
        setWindowIcon(QApplication::windowIcon());
        SetAppTitle();
    });
    trap.run(140, [&] { IsADOInstalled(); });
    trap.run(142, [&] { CreateSharedConnection(); });
    trap.run(144, [&] { m_quitRequested = OpenSharedDatabase(ConnectionString(), trap); });
    if (m_quitRequested)
        return;
    // A login that may only read is told so once (above); the commands that would write are
    // disabled and say why.
    DisableWritingForReadOnlyLogin({PushButton2, PushButton3, PushButton4});
    for (int i = 0; i < 12; ++i)
        trap.run(146 + 2 * i,
                 [&] { m_calls->addColumn(QString::fromLatin1(CallColumns::kCaptions[i])); });
    trap.run(170, [&] {
        const QString key = QStringLiteral("ColumnHeaders1");
        ListView1->header()->resizeSection(
            0, TwipsToPixels(storedWidth(key, setting(key, QStringLiteral("1200")))));
    });
    for (int position = 2; position <= m_calls->columnCountOfHeaders(); ++position) {
        trap.run(174, [&] {
            const QString key = QStringLiteral("ColumnHeaders") + QString::number(position);
            ListView1->header()->resizeSection(
                position - 1,
                TwipsToPixels(storedWidth(key, setting(key, QStringLiteral("1500")))));
        });
    }
    // On a database server the list follows the other desks' changes from before it is read;
    // a server that cannot be reached yet is watched for until it can.
    if (!m_live && onServer) {
        m_live = new LiveRefresh(this);
        m_live->start(ConnectionString().trimmed());
    }
    // On a local file it follows another window's changes to the same file.
    if (!m_live && !onServer) {
        m_live = new LiveRefresh(this);
        m_live->watchFile(ConnectionString());
    }
    trap.run(178, [&] { LoadCalls(); });
    trap.run(180, [&] {
        bool ok = false;
        const QString text = setting(QStringLiteral("WindowState"), QStringLiteral("0"));
        const int state = text.toInt(&ok);
        if (!ok || state < 0 || state > 2)
            unusableSetting(QStringLiteral("The saved setting WindowState ('%1') is not 0, 1 or "
                                           "2; the window opens in its usual state.")
                                .arg(text));
        setWindowState(state == 1   ? Qt::WindowMinimized
                       : state == 2 ? Qt::WindowMaximized
                                    : Qt::WindowNoState);
        applyLayoutForState();
    });
    if (trap.test(182, [&] { return windowStateNumber(windowState()) == 0; }))
        trap.run(184, [&] { WasMaximized = false; });
    else
        trap.run(186, [&] { WasMaximized = true; });
}

void Form1::Form_QueryUnload() {
    ErrorTrap trap("Form1", "Form_QueryUnload");
    for (int position = 1; position <= m_calls->columnCount(); ++position) {
        trap.run(102, [&] {
            const float twips =
                float(PixelsToTwips(ListView1->header()->sectionSize(position - 1)));
            saveSetting(QStringLiteral("ColumnHeaders") + QString::number(position),
                        QString::number(double(twips), 'g', QLocale::FloatingPointShortest));
        });
    }
    trap.run(106, [&] {
        saveSetting(QStringLiteral("WindowState"),
                    QString::number(windowStateNumber(windowState())));
    });
    if (m_live)
        m_live->stop();
    if (trap.test(108, [&] { return SharedConnection().state() != 0; }))
        trap.run(108, [&] { SharedConnection().close(); });
    trap.run(110, [&] { ReleaseSharedConnection(); });
    trap.run(112, [&] { QCoreApplication::processEvents(); });
    trap.run(114, [&] { QCoreApplication::processEvents(); });
}

bool Form1::listFilling() const {
    return m_loader->running();
}

void Form1::LoadCalls() {
    ++m_loads;
    m_fileWrites = fileWrites();
    // A rebuild replaces a fill that is still running.
    m_loader->cancel();
    if (!isVisible()) {
        // At start-up the window is painted first and the rows arrive while it is in use.
        m_loader->start(SharedConnection());
        return;
    }
    // Reading a large database takes a moment: show that the program is busy.
    struct BusyCursor {
        BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
        ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    } busy;
    m_calls->clear();
    Recordset records;
    // Read to the end at once, so that nothing else runs on the connection meanwhile.
    records.open(QStringLiteral("select * from [Calls Extended]"), SharedConnection(),
                 Recordset::kForwardOnly, Recordset::kReadOnly);
    m_calls->appendFrom(records);
    records.close();
    m_calls->refreshAttachments();
}
