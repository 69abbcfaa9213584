#pragma once

#include "contacts/contact_editor.h"

// The customer editor: the contact boxes, Save and Cancel.
class Form5 : public ContactEditor {
    Q_OBJECT
public:
    explicit Form5(QWidget* parent = nullptr);
    ~Form5() override;

    void PushButton3_Click(); // Cancel

    QPushButton* PushButton3; // Cancel
};
