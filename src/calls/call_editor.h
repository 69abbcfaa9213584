#pragma once

#include <QDialog>
#include <QString>

// The call editor: adds a new call (m_ID empty) or edits the call whose ID is m_ID.
class Form2 : public QDialog {
    Q_OBJECT
public:
    explicit Form2(QWidget* parent = nullptr);

    // Empty to add a new call, otherwise the ID of the call to edit. Set before Form_Load.
    QString m_ID;

    // Fills the lists and, in edit mode, the call's values.
    void Form_Load();
};
