#include "calls/call_editor.h"

Form2::Form2(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Add New"));
}

void Form2::Form_Load() {}
