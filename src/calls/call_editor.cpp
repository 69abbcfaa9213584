#include "calls/call_editor.h"
#include "ui/read_only_login.h"

#include "data/date_text.h"
#include "ui/app_paths.h"
#include "ui/appearance.h"
#include "ui/date_picker.h"
#include "ui/discard_guard.h"
#include "ui/eliding_combo.h"
#include "ui/error_trap.h"
#include "ui/exact_text_edit.h"
#include "ui/fixed_window.h"
#include "ui/twips.h"

#include <QComboBox>
#include <QDateEdit>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <limits>

namespace {

// Where a control stands, in twips.
struct Place {
    int left;
    int top;
    int width;
    int height;
};

constexpr int kRowHeight = 345;
constexpr int kSmallButtonWidth = 360;
// A label stands this far above the top of its control.
constexpr int kLabelRise = 270;
constexpr int kLabelHeight = 255;

// The labels, in the order of their names Label1, Label2, ...; each stands above the control
// at `place`, except the ID label, which stands left of its box.
struct LabelPlace {
    const char* caption;
    Place place;
};
const LabelPlace kLabels[] = {
    {"Title", {120, 495 - kLabelRise, 6120, kLabelHeight}},
    {"ID", {6285, 495 + 45, 390, kLabelHeight}},
    {"Assigned To", {120, 1245 - kLabelRise, 2520, kLabelHeight}},
    {"Caller", {120, 2085 - kLabelRise, 2520, kLabelHeight}},
    {"Opened By", {120, 2805 - kLabelRise, 2520, kLabelHeight}},
    {"Opened Date", {120, 3645 - kLabelRise, 3840, kLabelHeight}},
    {"Due Date", {120, 4485 - kLabelRise, 3840, kLabelHeight}},
    {"Status", {4080, 1245 - kLabelRise, 2880, kLabelHeight}},
    {"Category", {4080, 2085 - kLabelRise, 2880, kLabelHeight}},
    {"Priority", {4080, 2805 - kLabelRise, 2880, kLabelHeight}},
    {"Resolved By", {4080, 3645 - kLabelRise, 2520, kLabelHeight}},
    {"Resolved Date", {4080, 4485 - kLabelRise, 3840, kLabelHeight}},
    {"Comments", {120, 5295 - kLabelRise, 7800, kLabelHeight}},
};

QFont windowFont() {
    return QFont(QStringLiteral("Arial"), 9, QFont::Bold);
}

QFont buttonFont() {
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(11.25);
    font.setBold(true);
    return font;
}

void place(QWidget* widget, const Place& at) {
    widget->setGeometry(TwipsRect(at.left, at.top, at.width, at.height));
}

QComboBox* makeList(QWidget* parent, const char* name, const Place& at) {
    auto* list = new ElidingComboBox(parent);
    list->setObjectName(QLatin1String(name));
    list->setEditable(false);
    place(list, at);
    return list;
}

QLineEdit* makeTextBox(QWidget* parent, const char* name, const Place& at) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(QLatin1String(name));
    // The database keeps texts of any length: a box must not cut what is typed or pasted.
    box->setMaxLength(std::numeric_limits<int>::max());
    place(box, at);
    return box;
}

DatePicker* makeDatePicker(QWidget* parent, const char* name, const Place& at) {
    auto* picker = new DatePicker(parent);
    picker->setObjectName(QLatin1String(name));
    picker->setCalendarPopup(true);
    place(picker, at);
    return picker;
}

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption,
                        const Place& at) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setFont(buttonFont());
    // Enter in a text box must not press a list's button.
    button->setAutoDefault(false);
    place(button, at);
    return button;
}

// A small "+", "*" or "-" button in the row of a list.
QPushButton* makeSmallButton(QWidget* parent, const char* name, const char* caption, int left,
                             int top) {
    return makeButton(parent, name, QLatin1String(caption),
                      {left, top, kSmallButtonWidth, kRowHeight});
}

// Text that the ID box accepts as a number.
bool isNumeric(const QString& text) {
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return false;
    bool ok = false;
    QLocale().toDouble(trimmed, &ok);
    if (!ok)
        trimmed.toDouble(&ok);
    return ok;
}

} // namespace

Form2::Form2(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Add New"));
    MakeFixedBorder(this, kDesignWidth, kDesignHeight);
    setModal(true);
    setFont(windowFont());
    buildControls();

    m_pointer = new PointerFeedback(this);
    m_discard = new DiscardGuard(this);
    // Delete or Backspace on "Resolved By" clears it, so that a call can be opened again.
    Combo7->installEventFilter(this);
    m_pointer->watchBackground(this);
    const auto buttons = findChildren<QPushButton*>();
    for (QPushButton* button : buttons)
        m_pointer->watchButton(button);
}

Form2::~Form2() = default;

void Form2::buildControls() {
    int number = 0;
    for (const LabelPlace& label : kLabels) {
        auto* caption = new QLabel(QLatin1String(label.caption), this);
        caption->setObjectName(QStringLiteral("Label%1").arg(++number));
        place(caption, label.place);
    }
    findChild<QLabel*>(QStringLiteral("Label2"))->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    Text1 = makeTextBox(this, "Text1", {120, 495, 6120, kRowHeight});
    Text2 = makeTextBox(this, "Text2", {6720, 495, 1200, kRowHeight});
    // The ID is shown for reference only; saving uses m_ID.
    Text2->setReadOnly(true);
    Text2->installEventFilter(this);

    Combo1 = makeList(this, "Combo1", {120, 1245, 2520, kRowHeight});
    Combo6 = makeList(this, "Combo6", {120, 2085, 2520, kRowHeight});
    Combo2 = makeList(this, "Combo2", {120, 2805, 2520, kRowHeight});
    DateTimePicker1 = makeDatePicker(this, "DateTimePicker1", {120, 3645, 3840, kRowHeight});
    DateTimePicker2 = makeDatePicker(this, "DateTimePicker2", {120, 4485, 3840, kRowHeight});
    Combo3 = makeList(this, "Combo3", {4080, 1245, 2880, kRowHeight});
    Combo4 = makeList(this, "Combo4", {4080, 2085, 2880, kRowHeight});
    Combo5 = makeList(this, "Combo5", {4080, 2805, 2880, kRowHeight});
    Combo7 = makeList(this, "Combo7", {4080, 3645, 2520, kRowHeight});
    Text4 = makeTextBox(this, "Text4", {4080, 4485, 3840, kRowHeight});

    Text3 = new ExactTextEdit(this);
    Text3->setObjectName(QStringLiteral("Text3"));
    Text3->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Text3->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Text3->setTabChangesFocus(true);
    place(Text3, {120, 5295, 7800, 2625});

    const QString contactTip = QStringLiteral("Enter or double-click: edit the contact");
    for (QComboBox* list : {Combo1, Combo2, Combo6, Combo7})
        list->setToolTip(contactTip);

    PushButton5 = makeSmallButton(this, "PushButton5", "+", 2640, 1245);
    PushButton9 = makeSmallButton(this, "PushButton9", "*", 3120, 1245);
    PushButton6 = makeSmallButton(this, "PushButton6", "-", 3600, 1245);
    PushButton15 = makeSmallButton(this, "PushButton15", "+", 2640, 2085);
    PushButton17 = makeSmallButton(this, "PushButton17", "*", 3120, 2085);
    PushButton16 = makeSmallButton(this, "PushButton16", "-", 3600, 2085);
    PushButton3 = makeSmallButton(this, "PushButton3", "+", 2640, 2805);
    PushButton10 = makeSmallButton(this, "PushButton10", "*", 3120, 2805);
    PushButton4 = makeSmallButton(this, "PushButton4", "-", 3600, 2805);
    PushButton18 = makeSmallButton(this, "PushButton18", "+", 6600, 3645);
    PushButton20 = makeSmallButton(this, "PushButton20", "*", 7080, 3645);
    PushButton19 = makeSmallButton(this, "PushButton19", "-", 7560, 3645);
    PushButton7 = makeSmallButton(this, "PushButton7", "+", 7080, 1245);
    PushButton8 = makeSmallButton(this, "PushButton8", "-", 7560, 1245);
    PushButton11 = makeSmallButton(this, "PushButton11", "+", 7080, 2085);
    PushButton12 = makeSmallButton(this, "PushButton12", "-", 7560, 2085);
    PushButton13 = makeSmallButton(this, "PushButton13", "+", 7080, 2805);
    PushButton14 = makeSmallButton(this, "PushButton14", "-", 7560, 2805);
    PushButton2 = makeButton(this, "PushButton2", QStringLiteral("Save"), {120, 8040, 3840, 405});
    PushButton1 =
        makeButton(this, "PushButton1", QStringLiteral("Cancel"), {4080, 8040, 3840, 405});
    // Enter saves, as in any dialog; Cancel answers Enter while it has the focus.
    PushButton2->setAutoDefault(true);
    PushButton2->setDefault(true);
    PushButton1->setAutoDefault(true);

    connectContactButtons();
    nameControls();

    connect(PushButton1, &QPushButton::clicked, this, [this] { PushButton1_Click(); });
    connect(PushButton2, &QPushButton::clicked, this, [this] { PushButton2_Click(); });
    connect(PushButton7, &QPushButton::clicked, this, [this] { PushButton7_Click(); });
    connect(PushButton8, &QPushButton::clicked, this, [this] { PushButton8_Click(); });
    connect(PushButton11, &QPushButton::clicked, this, [this] { PushButton11_Click(); });
    connect(PushButton12, &QPushButton::clicked, this, [this] { PushButton12_Click(); });
    connect(PushButton13, &QPushButton::clicked, this, [this] { PushButton13_Click(); });
    connect(PushButton14, &QPushButton::clicked, this, [this] { PushButton14_Click(); });

    const QList<QWidget*> tabOrder = {
        Text1,        Combo1,       PushButton5,  PushButton9,     PushButton6,
        Combo6,       PushButton15, PushButton17, PushButton16,    Combo2,
        PushButton3,  PushButton10, PushButton4,  DateTimePicker1, DateTimePicker2,
        Combo3,       PushButton7,  PushButton8,  Combo4,          PushButton11,
        PushButton12, Combo5,       PushButton13, PushButton14,    Combo7,
        PushButton18, PushButton20, PushButton19, Text4,           PushButton2,
        PushButton1,  Text2,        Text3};
    for (int i = 1; i < tabOrder.size(); ++i)
        setTabOrder(tabOrder.at(i - 1), tabOrder.at(i));
}

QString Form2::DeleteQuestion(const QString& warning) {
    return warning + QStringLiteral("\r\n") + QStringLiteral("Do you wish to continue?");
}

void Form2::Form_Load() {
    ErrorTrap trap("Form2", "Form_Load");
    trap.run(100, [&] { SetFormColors(this); });
    const QString cursorFile = ProgramFolder() + QLatin1Char('/') + kHandCursorFile;
    if (trap.test(102, [&] { return FileExists(cursorFile); }))
        trap.run(104, [&] { m_pointer->loadCustom(cursorFile); });
    trap.run(106, [&] { LoadEmployees(0); });
    trap.run(108, [&] { LoadCustomers(0); });
    trap.run(110, [&] { LoadStatus(); });
    trap.run(112, [&] { LoadCategories(); });
    trap.run(114, [&] { LoadPriorities(); });
    trap.run(116, [&] { Combo1->setCurrentIndex(-1); });
    trap.run(118, [&] { DateTimePicker1->setDate(DateText::today().date()); });
    trap.run(120, [&] { DateTimePicker2->setDate(DateText::today().date()); });
    if (trap.test(122, [&] { return !m_ID.isEmpty(); }))
        trap.run(124, [&] { LoadData(); });
    // A login that may only read sees the call and its lists, and cannot change them.
    DisableWritingForReadOnlyLogin({PushButton2, PushButton3, PushButton4, PushButton5, PushButton6,
                                    PushButton7, PushButton8, PushButton11, PushButton12,
                                    PushButton13, PushButton14, PushButton15, PushButton16,
                                    PushButton18, PushButton19});
    m_discard->remember();
}

void Form2::Text2_GotFocus() {
    Text2->setSelection(0, int(Text2->text().size()));
}

void Form2::Text2_LostFocus() {
    if (!isNumeric(Text2->text()))
        m_discard->programWrites([&] { Text2->setText(QStringLiteral("0")); });
}

bool Form2::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Combo7 && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Delete || key == Qt::Key_Backspace) {
            Combo7->setCurrentIndex(-1);
            return true;
        }
    }
    if (watched == Text2) {
        if (event->type() == QEvent::FocusIn)
            Text2_GotFocus();
        else if (event->type() == QEvent::FocusOut)
            Text2_LostFocus();
    }
    return QDialog::eventFilter(watched, event);
}

void Form2::showEvent(QShowEvent* event) {
    // The editor opens centred on the screen, whatever window opened it.
    if (!m_centred) {
        m_centred = true;
        CentreOnScreen(this);
    }
    QDialog::showEvent(event);
}
