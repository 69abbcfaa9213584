#include "contacts/contact_editor.h"
#include "ui/read_only_login.h"

#include "contacts/contact_fields.h"
#include "data/recordset.h"
#include "data/shared_connection.h"
#include "data/sql_text.h"
#include "ui/accessible_names.h"
#include "ui/app_paths.h"
#include "ui/appearance.h"
#include "ui/changed_elsewhere.h"
#include "ui/discard_guard.h"
#include "ui/error_trap.h"
#include "ui/exact_text_edit.h"
#include "ui/fixed_window.h"
#include "ui/prompts.h"
#include "ui/record_messages.h"
#include "ui/twips.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStringList>
#include <limits>

namespace {

// A column as statements name it: in brackets when it has a blank.
QString sqlColumn(const char* column) {
    const QString name = QLatin1String(column);
    return name.contains(QLatin1Char(' ')) ? QLatin1Char('[') + name + QLatin1Char(']') : name;
}

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption, int left,
                        int width) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setFont(ContactButtonFont());
    button->setGeometry(TwipsRect(left, kButtonTop, width, kButtonHeight));
    return button;
}

} // namespace

QFont ContactWindowFont() {
    return QFont(QStringLiteral("Arial"), 9, QFont::Bold);
}

QFont ContactButtonFont() {
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(11.25);
    font.setBold(true);
    return font;
}

ContactEditor::ContactEditor(const ContactKind& kind, QWidget* parent)
    : QDialog(parent), m_kind(kind) {
    setObjectName(QLatin1String(kind.windowName));
    setWindowTitle(QLatin1String(kind.caption));
    MakeFixedBorder(this, kind.clientWidth, kContactWindowHeight);
    setModal(true);
    setFont(ContactWindowFont());
    buildControls();

    m_pointer = new PointerFeedback(this);
    m_discard = new DiscardGuard(this);
    m_pointer->watchButton(PushButton2);
    m_pointer->watchButton(m_cancel);
}

ContactEditor::~ContactEditor() = default;

void ContactEditor::buildControls() {
    for (const ContactField& field : kContactFields) {
        const bool notes = field.number == 16;
        const char* caption = field.label;
        if (field.number == 1)
            caption = m_kind.firstNameLabel;
        else if (field.number == 2)
            caption = m_kind.lastNameLabel;
        // The labels form one control array; none of them is touched after this.
        auto* label = new QLabel(QLatin1String(caption), this);
        label->setObjectName(QStringLiteral("Label1"));
        label->setProperty("index", field.number - 1);
        const int rise = notes ? kNotesLabelRise : kLabelRise;
        label->setGeometry(TwipsRect(field.left, field.top - rise, field.width, rise));

        QWidget* box;
        if (notes) {
            m_notes = new ExactTextEdit(this);
            m_notes->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
            m_notes->setTabChangesFocus(true);
            box = m_notes;
        } else {
            auto* line = new QLineEdit(this);
            // No length limit: a box keeps whatever is typed or pasted.
            line->setMaxLength(std::numeric_limits<int>::max());
            m_lines[size_t(field.number - 1)] = line;
            box = line;
        }
        box->setObjectName(QStringLiteral("Text%1").arg(field.number));
        box->setGeometry(
            TwipsRect(field.left, field.top, field.width, notes ? kNotesHeight : kBoxHeight));
        NameAfterLabel(label, box);
    }

    PushButton2 =
        makeButton(this, "PushButton2", QStringLiteral("Save"), kSaveLeft, m_kind.saveWidth);
    m_cancel = makeButton(this, m_kind.cancelName, QStringLiteral("Cancel"), m_kind.cancelLeft,
                          m_kind.cancelWidth);
    // Enter in a box saves, as in any dialog; Cancel answers Enter while it has the focus.
    PushButton2->setDefault(true);
    connect(PushButton2, &QPushButton::clicked, this, [this] { PushButton2_Click(); });
    connect(m_cancel, &QPushButton::clicked, this, [this] { cancel(); });

    for (int number = 2; number <= 16; ++number)
        setTabOrder(box(number - 1), box(number));
    setTabOrder(box(16), PushButton2);
    setTabOrder(PushButton2, m_cancel);
}

QWidget* ContactEditor::box(int number) const {
    if (number == 16)
        return m_notes;
    return m_lines.at(size_t(number - 1));
}

QString ContactEditor::boxText(int number) const {
    if (number == 16)
        return m_notes->exactText();
    return m_lines.at(size_t(number - 1))->text();
}

void ContactEditor::setBoxText(int number, const QString& text) {
    if (number == 16)
        m_notes->setExactText(text);
    else {
        // A long text shows from its start.
        m_lines.at(size_t(number - 1))->setText(text);
        m_lines.at(size_t(number - 1))->setCursorPosition(0);
    }
}

int ContactEditor::setUpLists(ErrorTrap&, int line) {
    return line;
}

void ContactEditor::loadLists(ErrorTrap&, int) {}

void ContactEditor::Form_Load() {
    ErrorTrap trap(m_kind.windowName, "Form_Load");
    trap.run(100, [&] { SetFormColors(this); });
    trap.run(102, [&] { setWindowIcon(QApplication::windowIcon()); });
    const QString cursorFile = ProgramFolder() + QLatin1Char('/') + kHandCursorFile;
    if (trap.test(104, [&] { return FileExists(cursorFile); }))
        trap.run(106, [&] { m_pointer->loadCustom(cursorFile); });
    const int line = setUpLists(trap, 108);
    // In add mode nothing is read.
    if (trap.test(line, [&] { return !m_ID.isEmpty(); })) {
        trap.run(line + 2, [&] { LoadData(); });
        loadLists(trap, line + 4);
    }
    m_discard->remember();
    DisableWritingForReadOnlyLogin({PushButton2});
}

void ContactEditor::LoadData() {
    ErrorTrap trap(m_kind.windowName, "LoadData");
    Recordset records;
    // A query that cannot be opened has no row to read.
    if (!trap.run(102, [&] {
            // Read first: a change made between the two reads then counts as made by
            // someone else, and is never overwritten unasked.
            m_seen.take(SharedConnection(), QLatin1String(m_kind.table), m_ID);
            records.open(QStringLiteral("select * from ") + QLatin1String(m_kind.table) +
                             QStringLiteral(" where ID=") + m_ID,
                         SharedConnection(), Recordset::kStatic, Recordset::kReadOnly);
        }))
        return;
    if (trap.test(104, [&] { return !records.eof(); })) {
        int line = 106;
        for (const ContactField& field : kContactFields) {
            trap.run(line, [&] {
                setBoxText(field.number, records.field(QLatin1String(field.column)).joined());
            });
            line += 2;
        }
    }
    trap.run(138, [&] { records.close(); });
}

QString ContactEditor::insertStatement() const {
    QStringList columns;
    QStringList values;
    for (int number : kStatementOrder) {
        columns << sqlColumn(kContactFields.at(size_t(number - 1)).column);
        values << DoubledQuotes(boxText(number));
    }
    return QStringLiteral("insert into ") + QLatin1String(m_kind.table) + QStringLiteral(" (") +
           columns.join(QLatin1Char(',')) + QStringLiteral(") values ('") +
           values.join(QStringLiteral("','")) + QStringLiteral("')");
}

QString ContactEditor::updateStatement() const {
    QStringList assignments;
    for (int number : kStatementOrder)
        assignments << sqlColumn(kContactFields.at(size_t(number - 1)).column) +
                           QStringLiteral("='") + DoubledQuotes(boxText(number)) +
                           QLatin1Char('\'');
    return QStringLiteral("update ") + QLatin1String(m_kind.table) + QStringLiteral(" set ") +
           assignments.join(QLatin1Char(',')) + QStringLiteral(" where ID=") + m_ID;
}

void ContactEditor::PushButton2_Click() {
    ErrorTrap trap(m_kind.windowName, "PushButton2_Click");
    if (trap.test(100, [&] { return boxText(1).trimmed().isEmpty(); })) {
        trap.run(102, [&] { MsgBox(QStringLiteral("You forgot to input first name.")); });
        trap.run(104, [&] { box(1)->setFocus(); });
        return;
    }
    if (trap.test(106, [&] { return boxText(2).trimmed().isEmpty(); })) {
        trap.run(108, [&] { MsgBox(QStringLiteral("You forgot to input last name.")); });
        trap.run(110, [&] { box(2)->setFocus(); });
        return;
    }
    // A statement that fails has written nothing: the window stays open with every entry, and
    // no success is claimed.
    if (trap.test(112, [&] { return !m_ID.isEmpty(); })) {
        int changed = 0;
        SaveOutcome outcome = SaveOutcome::Saved;
        if (!trap.run(114, [&] {
                m_lastStatement = updateStatement();
                AnswerEveryPress([&] {
                    outcome =
                        SaveOverOthers(SharedConnection(), m_seen, QLatin1String(m_kind.noun), [&] {
                            SharedConnection().execute(m_lastStatement);
                            changed = SharedConnection().rowsAffected();
                        });
                });
            }))
            return;
        // The person kept what someone else saved meanwhile: the boxes show it now.
        if (outcome == SaveOutcome::KeptTheirs) {
            LoadData();
            return;
        }
        // The contact was deleted while the window was open: nothing was saved.
        if (changed == 0) {
            trap.run(124, [&] { MsgBox(QLatin1String(m_kind.goneMessage), Prompts::Exclamation); });
            return;
        }
        trap.run(116, [&] { MsgBox(kRecordUpdated); });
    } else {
        if (!trap.run(118, [&] {
                m_lastStatement = insertStatement();
                AnswerEveryPress([&] { SharedConnection().execute(m_lastStatement); });
            }))
            return;
        trap.run(120, [&] { MsgBox(kRecordSaved); });
    }
    trap.run(122, [&] { accept(); });
}

void ContactEditor::cancel() {
    ErrorTrap trap(m_kind.windowName, m_kind.cancelProcedure);
    trap.run(100, [&] { reject(); });
}

void ContactEditor::showEvent(QShowEvent* event) {
    // The window opens centred on the screen, with the focus in the first box.
    if (!m_shown) {
        m_shown = true;
        CentreOnScreen(this);
        box(1)->setFocus();
    }
    QDialog::showEvent(event);
}
