#pragma once

#include "contacts/contact_editor.h"

class CallRowsModel;
class QGroupBox;
class QTreeView;

// The employee editor: the contact boxes on the left; on the right, in edit mode, the open
// calls that the employee opened (ListView1) and those assigned to the employee (ListView2).
class Form3 : public ContactEditor {
    Q_OBJECT
public:
    explicit Form3(QWidget* parent = nullptr);
    ~Form3() override;

    // Fill ListView1 and ListView2 from the open calls of employee m_ID.
    void LoadOpenedCalls();
    void LoadAssignedCalls();
    void PushButton1_Click(); // Cancel

    QPushButton* PushButton1; // Cancel
    QGroupBox* Frame1;        // "Opened Calls"
    QGroupBox* Frame2;        // "Assigned Calls"
    QTreeView* ListView1;
    QTreeView* ListView2;
    CallRowsModel* openedCalls() const { return m_opened; }
    CallRowsModel* assignedCalls() const { return m_assigned; }

protected:
    int setUpLists(ErrorTrap& trap, int line) override;
    void loadLists(ErrorTrap& trap, int line) override;

private:
    QTreeView* makeList(QGroupBox* frame, const char* name, CallRowsModel* model);
    void loadCalls(const char* procedure, CallRowsModel* model, const char* employeeColumn);

    CallRowsModel* m_opened;
    CallRowsModel* m_assigned;
};
