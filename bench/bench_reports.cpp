// Times the reports against large databases and prints one "name = value" line per figure.
//
//   bench_reports [--sizes N,N,...] [--cache FOLDER] [--server]
//
// For every size (100,000 calls unless told) and for the "Open Calls" and "Call Details"
// reports, a fresh child process chooses the report in the report chooser, presses Print
// Preview and waits for the first page to be painted (three times), then writes the whole
// report as PDF and reports its peak memory. Each figure is the slower of the two reports.
// With --server the same runs read the calls from a database server (QUORVANE_TEST_SERVER,
// started by bench/run) instead of the file, and the figures are named report_pg_...
#include "app/main_window.h"
#include "bench_support.h"
#include "data/shared_connection.h"
#include "reports/report_catalog.h"
#include "reports/report_chooser.h"
#include "reports/report_document.h"
#include "reports/report_page_view.h"
#include "reports/report_preview.h"
#include "ui/prompts.h"

#include <QApplication>
#include <QComboBox>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

constexpr int kRuns = 3;
const char* const kReports[] = {"Open Calls", "Call Details"};

// Shows the preview without blocking, stops the clock when its first page is painted and
// closes it again. Any box means something went wrong.
class TimingPrompts : public Prompts {
public:
    QElapsedTimer clock;
    double firstPageMs = 0;
    int pages = 0;

    int message(const QString& text, int, const QString&) override {
        fail(QStringLiteral("the program showed a box: ") + text);
    }
    std::optional<QString> input(const QString& prompt, const QString&) override {
        fail(QStringLiteral("the program asked: ") + prompt);
    }
    void showModal(QDialog& window) override {
        auto* preview = qobject_cast<ReportPreview*>(&window);
        if (!preview)
            fail(QStringLiteral("the program opened another window than the preview"));
        PaintCounter counter(preview->view()->viewport());
        preview->show();
        QElapsedTimer timeout;
        timeout.start();
        while (counter.count == 0) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            if (timeout.elapsed() > 120000)
                fail(QStringLiteral("the first page was not painted within two minutes"));
        }
        firstPageMs = milliseconds(clock);
        pages = preview->document().pageCount();
        preview->close();
    }
};

int child(const QString& report, const QString& pdf, const QString& server, int argc, char** argv) {
    QApplication app(argc, argv);
    TimingPrompts prompts;
    InstallPrompts(&prompts);
    Form1::UseServer(server);
    CreateSharedConnection();
    SharedConnection().open(Form1::ConnectionString());
    std::vector<double> firstPage;
    for (int run = 0; run < kRuns; ++run) {
        Form4 chooser;
        chooser.Form_Load();
        chooser.Combo1->setCurrentIndex(chooser.Combo1->findText(report));
        chooser.show();
        QCoreApplication::processEvents();
        prompts.clock.start();
        chooser.PushButton1_Click();
        firstPage.push_back(prompts.firstPageMs);
    }
    QElapsedTimer clock;
    clock.start();
    if (!WriteNamedReportPdf(report, pdf))
        fail(QStringLiteral("the PDF was not finished"));
    const double pdfSeconds = milliseconds(clock) / 1000;
    print(QStringLiteral("first_page_ms"), median(firstPage));
    print(QStringLiteral("pdf_s"), pdfSeconds);
    print(QStringLiteral("rss_mb"), peakMemoryMb());
    print(QStringLiteral("pages"), prompts.pages);
    print(QStringLiteral("pdf_mb"), QFileInfo(pdf).size() / 1048576.0);
    ReleaseSharedConnection();
    InstallPrompts(nullptr);
    return 0;
}

int parent(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const BenchOptions options = parseOptions({100000});
    for (long long calls : options.sizes) {
        const QString path = database(options.cache, calls);
        const QString server = options.server ? serverDatabase(options.cache, calls) : QString();
        const QString prefix =
            options.server ? QStringLiteral("report_pg_") : QStringLiteral("report_");
        const QString suffix = QLatin1Char('_') + sizeSuffix(calls);
        double firstPage = 0, pdf = 0, memory = 0;
        for (const char* report : kReports) {
            QTemporaryDir output;
            QStringList arguments{QStringLiteral("--report"), QString::fromLatin1(report),
                                  output.path() + QStringLiteral("/report.pdf")};
            if (options.server)
                arguments << server;
            auto figures = runChild(arguments, path);
            const QString name = QString::fromLatin1(report).toLower().replace(' ', '_');
            print(prefix + QStringLiteral("%1_first_page_ms%2").arg(name, suffix),
                  figures[QStringLiteral("first_page_ms")]);
            print(prefix + QStringLiteral("%1_pdf_s%2").arg(name, suffix),
                  figures[QStringLiteral("pdf_s")]);
            print(prefix + QStringLiteral("%1_rss_mb%2").arg(name, suffix),
                  figures[QStringLiteral("rss_mb")]);
            print(prefix + QStringLiteral("%1_pages%2").arg(name, suffix),
                  figures[QStringLiteral("pages")]);
            firstPage = std::max(firstPage, figures[QStringLiteral("first_page_ms")]);
            pdf = std::max(pdf, figures[QStringLiteral("pdf_s")]);
            memory = std::max(memory, figures[QStringLiteral("rss_mb")]);
        }
        print(prefix + QStringLiteral("preview_first_page_ms") + suffix, firstPage);
        print(prefix + QStringLiteral("pdf_s") + suffix, pdf);
        print(prefix + QStringLiteral("rss_mb") + suffix, memory);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if ((argc == 4 || argc == 5) && std::strcmp(argv[1], "--report") == 0)
        return child(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]),
                     argc == 5 ? QString::fromLocal8Bit(argv[4]) : QString(), argc, argv);
    return parent(argc, argv);
}
