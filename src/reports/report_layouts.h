#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

// A font of a report layout. Sizes are in points.
struct ReportFont {
    QString family;
    double points;
    bool bold;
    bool italic;
};

// One control of a band: a label shows its caption, a text box the value of its bound column
// in the current row. Places are in twips from the band's top-left corner.
struct ReportControl {
    enum Kind { Label, TextBox };
    Kind kind;
    QString name;
    int left;
    int top;
    int width;
    int height;
    QString caption; // labels
    QString column;  // text boxes
    int font;        // index into ReportLayout::fonts
    // A box that grows downwards to show its whole text, wrapped at its width.
    bool canGrow = false;
};

// A band of a banded report: printed once (report header and footer), on every page (page
// header and footer) or once per row (detail).
struct ReportBand {
    QString name;
    int height;
    QVector<ReportControl> controls;
};

// A report layout: bands, controls, fonts and the page it is printed on. Every preview makes
// its own copy, so a caller may change a caption without touching the other reports.
struct ReportLayout {
    // The bands, in this order.
    enum Section { ReportHeader, PageHeader, Detail, PageFooter, ReportFooter, SectionCount };

    QString name;    // rptOpenCalls, ...
    QString caption; // caption of the preview window
    int width;       // of the printed area, in twips
    int leftMargin;
    int topMargin;
    int rightMargin;
    int bottomMargin;
    int gridX;
    int gridY;
    bool landscape = false;
    QVector<ReportFont> fonts;
    QVector<ReportBand> bands; // SectionCount bands, in Section order
    int previewWidth;          // size of the preview window, in twips
    int previewHeight;

    const ReportBand& band(Section section) const { return bands.at(section); }
    ReportBand& band(Section section) { return bands[section]; }
    // The title label: the first control of the first band.
    ReportControl& titleLabel() { return bands[ReportHeader].controls[0]; }
    const ReportControl& titleLabel() const { return bands.at(ReportHeader).controls.at(0); }
    // The columns that the text boxes read, each once, in the order of the bands.
    QStringList boundColumns() const;
};

// The names of the five layouts.
QStringList ReportLayoutNames();
// A fresh copy of the layout named `name` (rptOpenCalls, rptCallsByCategory, ...); an unknown
// name fails.
ReportLayout MakeReportLayout(const QString& name);
