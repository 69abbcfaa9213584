#include "reports/report_layouts.h"

#include "data/failure.h"

#include <iterator>

namespace {

// What all five layouts share. Measures in twips.
constexpr int kReportWidth = 11961;
constexpr int kMargin = 1440;
constexpr int kGrid = 10;
constexpr int kControlHeight = 240;
constexpr int kReportHeaderHeight = 435;
constexpr int kPageFooterHeight = 0;
constexpr int kPreviewWidth = 15240;
constexpr int kPreviewHeight = 11010;
struct Box {
    int left, top, width, height;
};
constexpr Box kTitleBox = {144, 0, 4032, 432};

// Fonts, by their index in ReportLayout::fonts.
enum FontIndex { TextFont, LabelFont, TitleFont };
const ReportFont kFonts[] = {
    {QStringLiteral("Arial"), 8.25, false, false}, // the report font, of every text box
    {QStringLiteral("Arial"), 8.25, true, false},  // labels
    {QStringLiteral("Arial"), 15.75, true, true},  // the title
};

// The columns of the four list layouts: heading and bound column.
enum ColumnId { Id, Title, AssignedTo, Priority, Status, Category, DueDate, OpenedBy, OpenedDate };
struct ColumnKind {
    const char* heading;
    const char* column;
};
const ColumnKind kColumnKinds[] = {
    {"ID", "ID"},
    {"Title", "Title"},
    {"Assigned To", "Assigned To Name"},
    {"Priority", "Priority"},
    {"Status", "Status"},
    {"Category", "Category"},
    {"Due Date", "Due Date"},
    {"Opened By", "Opened By Name"},
    {"Opened Date", "Opened Date"},
};

// One column of a list layout: the heading label in the page header and the text box in the
// detail band share the left edge; the text box is as wide as the label unless `boxWidth`.
struct ListColumn {
    int left;
    int width;
    int boxWidth; // 0: as wide as the label
    ColumnId kind;
    const char* label;
    const char* box;
};

const ListColumn kOpenCallsColumns[] = {
    {0, 720, 0, Id, "Label2", "Text1"},
    {720, 2016, 0, Title, "Label3", "Text2"},
    {2736, 1440, 0, AssignedTo, "Label4", "Text7"},
    {4176, 1440, 0, Priority, "Label5", "Text5"},
    {5616, 1008, 1005, Status, "Label6", "Text3"},
    {6624, 1440, 0, Category, "Label7", "Text6"},
    {8064, 1152, 1161, DueDate, "Label8", "Text4"},
    {9216, 1440, 0, OpenedBy, "Label9", "Text8"},
    {10656, 1296, 1305, OpenedDate, "Label10", "Text9"},
};

const ListColumn kByCategoryColumns[] = {
    {0, 1440, 0, Category, "Label2", "Text1"},
    {1440, 1440, 0, AssignedTo, "Label4", "Text7"},
    {2880, 2736, 0, Title, "Label3", "Text2"},
    {5616, 1008, 1005, Status, "Label6", "Text3"},
    {6624, 1140, 1155, DueDate, "Label8", "Text4"},
    {7776, 1440, 0, Priority, "Label5", "Text5"},
    {9216, 1440, 0, OpenedBy, "Label9", "Text8"},
    {10656, 1296, 1305, OpenedDate, "Label10", "Text9"},
};

const ListColumn kByStatusColumns[] = {
    {0, 1020, 1005, Status, "Label6", "Text3"},
    {1008, 1140, 1155, DueDate, "Label8", "Text4"},
    {2160, 2730, 0, Title, "Label3", "Text2"},
    {4896, 1440, 0, AssignedTo, "Label4", "Text7"},
    {6336, 1440, 0, Priority, "Label5", "Text5"},
    {7776, 1440, 0, Category, "Label2", "Text1"},
    {9216, 1440, 0, OpenedBy, "Label9", "Text8"},
    {10656, 1296, 1305, OpenedDate, "Label10", "Text9"},
};

const ListColumn kByAssignedColumns[] = {
    {0, 1440, 0, AssignedTo, "Label4", "Text7"},
    {1440, 1020, 1005, Status, "Label6", "Text3"},
    {2448, 2730, 0, Title, "Label3", "Text2"},
    {5184, 1140, 1155, DueDate, "Label8", "Text4"},
    {6336, 1440, 0, Priority, "Label5", "Text5"},
    {7776, 1440, 0, Category, "Label2", "Text1"},
    {9216, 1440, 0, OpenedBy, "Label9", "Text8"},
    {10656, 1296, 1305, OpenedDate, "Label10", "Text9"},
};

// The form-like detail band of the call details: labels in bold, text boxes in the report
// font. A height of 0 means the common control height.
struct FormControl {
    ReportControl::Kind kind;
    const char* name;
    int left, top, width, height;
    const char* text; // caption of a label, bound column of a text box
};
constexpr auto L = ReportControl::Label;
constexpr auto T = ReportControl::TextBox;
const FormControl kCallDetailsControls[] = {
    {L, "Label11", 0, 0, 720, 0, "Call:"},
    {T, "Text1", 720, 0, 720, 0, "ID"},
    {T, "Text2", 1440, 0, 9936, 0, "Title"},
    {L, "Label4", 0, 432, 1440, 0, "Assigned To:"},
    {T, "Text7", 1440, 432, 1440, 0, "Assigned To Name"},
    {L, "Label6", 4176, 432, 1020, 0, "Status:"},
    {T, "Text3", 5616, 432, 1005, 0, "Status"},
    {L, "Label9", 0, 720, 1440, 0, "Opened By:"},
    {T, "Text8", 1440, 720, 1440, 0, "Opened By Name"},
    {L, "Label7", 4176, 720, 1440, 0, "Category:"},
    {T, "Text6", 5616, 720, 1440, 0, "Category"},
    {L, "Label10", 0, 1008, 1305, 0, "Opened Date:"},
    {T, "Text9", 1440, 1008, 1305, 0, "Opened Date"},
    {L, "Label5", 4176, 1008, 1440, 0, "Priority:"},
    {T, "Text5", 5616, 1008, 1440, 0, "Priority"},
    {L, "Label8", 4176, 1296, 1140, 0, "Due Date:"},
    {T, "Text4", 5616, 1296, 1155, 0, "Due Date"},
    {T, "Text10", 0, 1728, 9930, 288, "Comments"},
};
// The comments box grows to show the whole comment.
const char* const kGrowingBox = "Text10";

// The five layouts. A list layout has columns; the call details have their form instead.
// A height of 0 is a band without height ("empty").
struct LayoutSpec {
    const char* name;
    const char* caption;
    const char* title; // nullptr: the caption
    int pageHeaderHeight;
    int detailHeight;
    int reportFooterHeight;
    const ListColumn* columns;
    int columnCount;
};
template <int N> constexpr int countOf(const ListColumn (&)[N]) {
    return N;
}
const LayoutSpec kLayouts[] = {
    {"rptOpenCalls", "Open Calls", nullptr, 330, 360, 570, kOpenCallsColumns,
     countOf(kOpenCallsColumns)},
    {"rptCallsByCategory", "Calls By Category", nullptr, 270, 300, 0, kByCategoryColumns,
     countOf(kByCategoryColumns)},
    {"rptCallsByStatus", "Calls By Status", nullptr, 300, 270, 0, kByStatusColumns,
     countOf(kByStatusColumns)},
    {"rptCallsByAssigned", "Calls By Assigned To", nullptr, 270, 255, 0, kByAssignedColumns,
     countOf(kByAssignedColumns)},
    {"rptCallDetails", "Call Details", "Calls Details", 0, 2130, 570, nullptr, 0},
};

ReportControl label(const QString& name, int left, int top, int width, int height,
                    const QString& caption, int font) {
    return {ReportControl::Label, name, left, top, width, height, caption, QString(), font};
}

ReportControl textBox(const QString& name, int left, int top, int width, int height,
                      const QString& column) {
    return {ReportControl::TextBox, name, left, top, width, height, QString(), column, TextFont};
}

ReportLayout build(const LayoutSpec& spec) {
    ReportLayout layout;
    layout.name = QString::fromLatin1(spec.name);
    layout.caption = QString::fromLatin1(spec.caption);
    layout.width = kReportWidth;
    layout.leftMargin = layout.topMargin = layout.rightMargin = layout.bottomMargin = kMargin;
    layout.gridX = layout.gridY = kGrid;
    layout.fonts = QVector<ReportFont>(std::begin(kFonts), std::end(kFonts));
    layout.previewWidth = kPreviewWidth;
    layout.previewHeight = kPreviewHeight;
    layout.bands = {{QStringLiteral("Section4"), kReportHeaderHeight, {}},
                    {QStringLiteral("Section2"), spec.pageHeaderHeight, {}},
                    {QStringLiteral("Section1"), spec.detailHeight, {}},
                    {QStringLiteral("Section3"), kPageFooterHeight, {}},
                    {QStringLiteral("Section5"), spec.reportFooterHeight, {}}};
    layout.band(ReportLayout::ReportHeader)
        .controls.append(label(QStringLiteral("Label1"), kTitleBox.left, kTitleBox.top,
                               kTitleBox.width, kTitleBox.height,
                               QString::fromLatin1(spec.title ? spec.title : spec.caption),
                               TitleFont));
    for (int i = 0; i < spec.columnCount; ++i) {
        const ListColumn& c = spec.columns[i];
        const ColumnKind& kind = kColumnKinds[c.kind];
        layout.band(ReportLayout::PageHeader)
            .controls.append(label(QLatin1String(c.label), c.left, 0, c.width, kControlHeight,
                                   QLatin1String(kind.heading), LabelFont));
        layout.band(ReportLayout::Detail)
            .controls.append(textBox(QLatin1String(c.box), c.left, 0,
                                     c.boxWidth ? c.boxWidth : c.width, kControlHeight,
                                     QLatin1String(kind.column)));
    }
    if (!spec.columns) {
        for (const FormControl& c : kCallDetailsControls) {
            const int height = c.height ? c.height : kControlHeight;
            ReportControl control = c.kind == ReportControl::Label
                                        ? label(QLatin1String(c.name), c.left, c.top, c.width,
                                                height, QString::fromUtf8(c.text), LabelFont)
                                        : textBox(QLatin1String(c.name), c.left, c.top, c.width,
                                                  height, QLatin1String(c.text));
            control.canGrow = control.name == QLatin1String(kGrowingBox);
            layout.band(ReportLayout::Detail).controls.append(control);
        }
    }
    return layout;
}

} // namespace

QStringList ReportLayout::boundColumns() const {
    QStringList columns;
    for (const ReportBand& band : bands) {
        for (const ReportControl& control : band.controls) {
            if (control.kind == ReportControl::TextBox && !columns.contains(control.column))
                columns << control.column;
        }
    }
    return columns;
}

QStringList ReportLayoutNames() {
    QStringList names;
    for (const LayoutSpec& spec : kLayouts)
        names << QString::fromLatin1(spec.name);
    return names;
}

ReportLayout MakeReportLayout(const QString& name) {
    for (const LayoutSpec& spec : kLayouts) {
        if (name == QLatin1String(spec.name))
            return build(spec);
    }
    throw Failure(QStringLiteral("The report layout '%1' does not exist.").arg(name));
}
