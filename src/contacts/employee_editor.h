#pragma once

#include "contacts/contact_editor.h"

#include <functional>

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

    // Opens the call whose ID it is given in the call editor, modally. The call editor lies
    // above this window's module and sets it; unset, the lists open nothing.
    static std::function<void(const QString& id)>& CallOpener();
    // Opens the current call of `list` (ListView1 or ListView2), then reads both lists again,
    // since the call may have been closed or given to someone else.
    void openCurrentCall(QTreeView* list);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    int setUpLists(ErrorTrap& trap, int line) override;
    void loadLists(ErrorTrap& trap, int line) override;

private:
    QTreeView* makeList(QGroupBox* frame, const char* name, CallRowsModel* model);
    void loadCalls(const char* procedure, CallRowsModel* model, const char* employeeColumn);

    CallRowsModel* m_opened;
    CallRowsModel* m_assigned;
};
