#include "contacts/customer_editor.h"

#include "contacts/contact_fields.h"

Form5::Form5(QWidget* parent) : ContactEditor(kCustomerKind, parent), PushButton3(m_cancel) {}

Form5::~Form5() = default;

void Form5::PushButton3_Click() {
    cancel();
}
