#pragma once

#include "records/row_snapshot.h"
#include "ui/date_picker.h"
#include "ui/exact_text_edit.h"

#include <QDialog>
#include <QList>
#include <QString>
#include <functional>

class DiscardGuard;
class ErrorTrap;
class PointerFeedback;
class QComboBox;

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// The call editor: adds a new call (m_ID empty) or edits the call whose ID is m_ID. The opener
// sets m_ID, calls Form_Load, sets the caption and shows the window modally; the editor reads
// and writes the database itself and hands nothing back.
class Form2 : public QDialog {
    Q_OBJECT
public:
    explicit Form2(QWidget* parent = nullptr);
    ~Form2() override;

    // Empty to add a new call, otherwise the ID of the call to edit. Set before Form_Load.
    QString m_ID;
    // The employee ID behind each entry of Combo1, Combo2 and Combo7 (same order in all three),
    // and the customer ID behind each entry of Combo6.
    QList<qint64> m_EmployeeIDs;
    QList<qint64> m_CustomerIDs;

    // Colours the window, loads the hand pointer, fills the lists, puts today into both date
    // pickers and, in edit mode, the call's values.
    void Form_Load();

    // Refill the caller list (0 brings back the person it showed, 1 leaves no selection) and
    // the three employee lists (each gets its person back except the one named: 1 for Combo1,
    // 2 for Combo2, 7 for Combo7; 0 names none). A person no longer listed leaves no selection.
    void LoadCustomers(int keepSelection);
    void LoadEmployees(int listToClear);
    // Refill the status, category and priority lists, left without selection.
    void LoadStatus();
    void LoadCategories();
    void LoadPriorities();
    // Fills the controls from the call whose ID is m_ID.
    void LoadData();
    // Refills the lists and the controls with the call as it is stored now, dropping what was
    // typed: the person kept the version that someone else saved meanwhile.
    void showStoredVersion();

    void PushButton1_Click();  // Cancel
    void PushButton2_Click();  // Save
    void PushButton7_Click();  // add a status
    void PushButton8_Click();  // delete the selected status
    void PushButton11_Click(); // add a category
    void PushButton12_Click(); // delete the selected category
    void PushButton13_Click(); // add a priority
    void PushButton14_Click(); // delete the selected priority

    // The "+", "*" and "-" buttons of the four contact lists: add a contact, edit the selected
    // one, delete the selected one with its calls.
    void PushButton5_Click(); // Assigned To
    void PushButton9_Click();
    void PushButton6_Click();
    void PushButton15_Click(); // Caller
    void PushButton17_Click();
    void PushButton16_Click();
    void PushButton3_Click(); // Opened By
    void PushButton10_Click();
    void PushButton4_Click();
    void PushButton18_Click(); // Resolved By
    void PushButton20_Click();
    void PushButton19_Click();

    void Text2_GotFocus();
    void Text2_LostFocus();

    // True once a contact or a list value was added, edited or deleted from this window: more
    // calls than this one may have changed (a deleted contact takes its calls along).
    bool touchedOtherRecords() const { return m_touchedOther; }
    // The INSERT or UPDATE that the last save sent to the database.
    const QString& lastStatement() const { return m_lastStatement; }
    PointerFeedback* pointer() const { return m_pointer; }

    QLineEdit* Text1;            // title
    QLineEdit* Text2;            // ID, shown only
    ExactTextEdit* Text3;        // comments, kept character for character
    QLineEdit* Text4;            // resolved date as typed
    QComboBox* Combo1;           // assigned to
    QComboBox* Combo2;           // opened by
    QComboBox* Combo3;           // status
    QComboBox* Combo4;           // category
    QComboBox* Combo5;           // priority
    QComboBox* Combo6;           // caller
    QComboBox* Combo7;           // resolved by
    DatePicker* DateTimePicker1; // opened date
    DatePicker* DateTimePicker2; // due date
    QPushButton* PushButton1;    // Cancel
    QPushButton* PushButton2;    // Save
    QPushButton* PushButton3;    // Opened By: add
    QPushButton* PushButton4;    // Opened By: delete
    QPushButton* PushButton5;    // Assigned To: add
    QPushButton* PushButton6;    // Assigned To: delete
    QPushButton* PushButton7;    // Status: add
    QPushButton* PushButton8;    // Status: delete
    QPushButton* PushButton9;    // Assigned To: edit
    QPushButton* PushButton10;   // Opened By: edit
    QPushButton* PushButton11;   // Category: add
    QPushButton* PushButton12;   // Category: delete
    QPushButton* PushButton13;   // Priority: add
    QPushButton* PushButton14;   // Priority: delete
    QPushButton* PushButton15;   // Caller: add
    QPushButton* PushButton16;   // Caller: delete
    QPushButton* PushButton17;   // Caller: edit
    QPushButton* PushButton18;   // Resolved By: add
    QPushButton* PushButton19;   // Resolved By: delete
    QPushButton* PushButton20;   // Resolved By: edit

    // The question that every delete beside a list asks: its warning, a line break and the
    // request to confirm.
    static QString DeleteQuestion(const QString& warning);

    // The client size in twips.
    static constexpr int kDesignWidth = 8040;
    static constexpr int kDesignHeight = 8565;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    struct ValueList;
    static const ValueList kStatusList;
    static const ValueList kCategoryList;
    static const ValueList kPriorityList;
    struct ContactRow;
    static const ContactRow kAssignedToRow;
    static const ContactRow kCallerRow;
    static const ContactRow kOpenedByRow;
    static const ContactRow kResolvedByRow;
    void buildControls();
    // Names the controls for screen readers.
    void nameControls();
    void connectContactButtons();
    void addContact(const ContactRow& row);
    void editContact(const ContactRow& row);
    void deleteContact(const ContactRow& row);
    void reloadContacts(const ContactRow& row, int argument);
    void loadValueList(const ValueList& list);
    void addValue(const ValueList& list);
    void deleteValue(const ValueList& list);
    // Asks `warning` and then deletes the selected entry of `list` and its calls in one
    // transaction: `entryDelete` and `callsDelete` give the two statements. An entry that
    // someone else deleted meanwhile took its calls with it: nothing more is deleted, and the
    // person is told. Answers whether the person went ahead.
    bool deleteWithCalls(ErrorTrap& trap, QComboBox* list, const char* warning,
                         const std::function<QString()>& entryDelete,
                         const std::function<QString()>& callsDelete);
    QString callStatement(const QString& resolvedBy, const QString& resolvedDate,
                          const QString& callTime) const;

    // The call as the editor read it, to tell a change made meanwhile by someone else.
    RowSnapshot m_seen;
    PointerFeedback* m_pointer;
    DiscardGuard* m_discard;
    QString m_lastStatement;
    bool m_touchedOther = false;
    bool m_centred = false;
};
