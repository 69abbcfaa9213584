#pragma once

#include "records/row_snapshot.h"

#include <QDialog>
#include <QString>
#include <array>

struct ContactKind;
class DiscardGuard;
class ErrorTrap;
class PointerFeedback;
class QLineEdit;
class ExactTextEdit;
class QPushButton;

// What the employee editor (Form3) and the customer editor (Form5) share: sixteen boxes for
// one row of their table, Save and Cancel. The opener sets m_ID (empty to add, the row's ID to
// edit), calls Form_Load and shows the window modally; the editor writes the row itself and
// hands nothing back.
class ContactEditor : public QDialog {
    Q_OBJECT
public:
    ~ContactEditor() override;

    // Empty to add a new contact, otherwise the ID of the contact to edit. Set before Form_Load.
    QString m_ID;

    // Colours the window, gives it the icon and the hand pointer and, in edit mode, fills it.
    void Form_Load();
    // Fills the sixteen boxes from the row whose ID is m_ID.
    void LoadData();
    // Save: checks both names, then inserts or updates the row and closes the window.
    void PushButton2_Click();

    // The text of box TextN (1 to 16) and the box itself.
    QString boxText(int number) const;
    QWidget* box(int number) const;

    // The INSERT or UPDATE that the last save sent to the database.
    const QString& lastStatement() const { return m_lastStatement; }
    PointerFeedback* pointer() const { return m_pointer; }
    const ContactKind& kind() const { return m_kind; }

    QPushButton* PushButton2; // Save

protected:
    ContactEditor(const ContactKind& kind, QWidget* parent);

    // Cancel: closes the window and writes nothing.
    void cancel();
    // Steps of Form_Load that only one of the twins has: setting up its lists, numbered from
    // `line` (answers the next free number), and filling them in edit mode.
    virtual int setUpLists(ErrorTrap& trap, int line);
    virtual void loadLists(ErrorTrap& trap, int line);

    void showEvent(QShowEvent* event) override;

    QPushButton* m_cancel;

private:
    void buildControls();
    void setBoxText(int number, const QString& text);
    QString insertStatement() const;
    QString updateStatement() const;

    const ContactKind& m_kind;
    std::array<QLineEdit*, 15> m_lines{};
    ExactTextEdit* m_notes = nullptr;
    // The row as the editor read it, to tell a change made meanwhile by someone else.
    RowSnapshot m_seen;
    PointerFeedback* m_pointer;
    DiscardGuard* m_discard;
    QString m_lastStatement;
    bool m_shown = false;
};

// The fonts of every contact window: Arial 9 pt bold, its buttons Arial 11.25 pt bold.
QFont ContactWindowFont();
QFont ContactButtonFont();
