#pragma once

// What the report suites share: calls to report on, the texts of a rendered page, opening a
// report through the chooser and running a program.

#include "app/main_window.h"
#include "data/recordset.h"
#include "data/shared_connection.h"
#include "reports/report_catalog.h"
#include "reports/report_chooser.h"
#include "reports/report_document.h"
#include "reports/report_output.h"
#include "reports/report_page_view.h"
#include "reports/report_preview.h"
#include "test_support.h"
#include "ui/twips.h"
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QFontMetricsF>
#include <QLabel>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTest>
#include <algorithm>

// Three people, three open calls whose order differs by every sort key, and two closed calls.
// Call 2 has no due date.
inline void addCalls() {
    Exec("insert into Employees ([First Name],[Last Name]) values ('Ada','Byron')");
    Exec("insert into Employees ([First Name],[Last Name]) values ('Bea','Ng')");
    Exec("insert into Employees ([First Name],[Last Name]) values ('Cyd','Moss')");
    const char* const calls[] = {
        "'Printer jams',3,1,'2021-03-01','Open','Software','High','Toner low','2021-03-05',NULL",
        "'Mail is slow',1,2,'2021-03-02','Waiting','Network','Low',NULL,NULL,NULL",
        "'Screen flickers',2,3,'2021-03-03','In Progress','Hardware','Normal','Cable?',"
        "'2021-03-09',NULL",
        "'VPN drops',1,1,'2021-02-01','Closed','Network','Low',NULL,'2021-02-02','2021-02-03'",
        "'Backup failed',2,2,'2021-02-04','Closed','Software','High',NULL,NULL,'2021-02-05'",
    };
    for (const char* values : calls)
        Exec(QStringLiteral("insert into Calls (Title,[Assigned To],[Opened By],[Opened Date],"
                            "Status,Category,Priority,Comments,[Due Date],[Resolved Date]) "
                            "values (%1)")
                 .arg(QLatin1String(values)));
}

// `count` open calls titled "Call 0001", "Call 0002", ...
inline void addNumberedCalls(int count) {
    if (count <= 0)
        return;
    Exec(QStringLiteral("with recursive n(i) as (select 1 union all select i + 1 from n where "
                        "i < %1) insert into Calls (Title,[Opened Date],[Due Date]) select "
                        "'Call ' || substr('000' || i, -4), '2021-01-01', '2021-01-02' from n")
             .arg(count));
}

inline const PageText* find(const ReportPage& page, const QString& control) {
    for (const PageText& text : page.texts) {
        if (text.control == control)
            return &text;
    }
    return nullptr;
}

// The texts of the text boxes of every detail band on the page, in reading order.
inline QList<QStringList> detailRows(const ReportPage& page) {
    QList<QStringList> rows;
    for (const PlacedBand& band : page.bands) {
        if (band.row < 0)
            continue;
        QVector<PageText> inside;
        for (const PageText& text : page.texts) {
            if (text.control.startsWith("Text") && text.box.top() >= band.top &&
                text.box.top() < band.top + band.height)
                inside << text;
        }
        std::stable_sort(inside.begin(), inside.end(), [](const PageText& a, const PageText& b) {
            return std::make_pair(a.box.top(), a.box.left()) <
                   std::make_pair(b.box.top(), b.box.left());
        });
        QStringList cells;
        for (const PageText& text : inside)
            cells << text.text;
        rows << cells;
    }
    return rows;
}

// The texts of one control on every page, in order.
inline QStringList allTexts(const ReportDocument& document, const QString& control) {
    QStringList texts;
    for (int i = 0; i < document.pageCount(); ++i) {
        for (const PageText& text : document.page(i).texts) {
            if (text.control == control)
                texts << text.text;
        }
    }
    return texts;
}

inline std::unique_ptr<ReportDocument> openReport(const QString& name) {
    return OpenReport(*FindReportEntry(name));
}

// What the preview showed when Print Preview was pressed for `entry` in the chooser.
struct Shown {
    int previews = 0;
    QString caption;
    QString layout;
    QSize size;
    std::shared_ptr<ReportPage> firstPage;
};

inline Shown pressPrintPreview(ScriptedPrompts& prompts, const QString& entry) {
    Shown shown;
    Form4 chooser;
    chooser.Form_Load();
    chooser.Combo1->setCurrentIndex(chooser.Combo1->findText(entry));
    prompts.onModal([&](QDialog& window) {
        auto* preview = qobject_cast<ReportPreview*>(&window);
        QVERIFY(preview);
        ++shown.previews;
        shown.caption = preview->windowTitle();
        shown.layout = preview->document().layout().name;
        shown.size = preview->size();
        shown.firstPage = std::make_shared<ReportPage>(preview->document().page(0));
    });
    QTest::mouseClick(chooser.PushButton1, Qt::LeftButton);
    return shown;
}

inline QString run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(60000);
    return QString::fromUtf8(process.readAllStandardOutput());
}
