#include "contacts/contact_fields.h"

const std::array<ContactField, 16> kContactFields = {{
    {1, nullptr, "First Name", 120, 375, 2640},
    {2, nullptr, "Last Name", 3000, 375, 2640},
    {3, "Job Title", "Job Title", 120, 1095, 2640},
    {4, "Company", "Company", 3000, 1095, 2640},
    {5, "Business Phone", "Business Phone", 120, 1935, 2640},
    {6, "Home Phone", "Home Phone", 3000, 1935, 2640},
    {7, "Mobile Phone", "Mobile Phone", 120, 2655, 2640},
    {8, "Fax Number", "Fax Number", 3000, 2655, 2640},
    {9, "Address", "Address", 120, 3375, 5520},
    {10, "City", "City", 120, 4095, 1440},
    {11, "State", "State", 1680, 4110, 720},
    {12, "Postal Code", "ZIP", 2520, 4095, 1440},
    {13, "Country", "Country", 4080, 4095, 1560},
    {14, "Email Address", "E-mail Address", 120, 4815, 2640},
    {15, "Webpage", "Web Page", 3000, 4815, 2640},
    {16, "Notes", "Notes", 120, 5520, 5520},
}};

const std::array<int, 16> kStatementOrder = {1, 2, 14, 4, 3, 5, 6, 7, 8, 9, 10, 11, 12, 13, 15, 16};

// Each kind sets its members by name, so a reader sees what every value is for.
const ContactKind kEmployeeKind = [] {
    ContactKind kind{};
    kind.windowName = "Form3";
    kind.table = "Employees";
    kind.caption = "Employees";
    kind.firstNameLabel = "First Name";
    kind.lastNameLabel = "Last Name";
    kind.clientWidth = 11400;
    kind.saveWidth = 5520;
    kind.cancelName = "PushButton1";
    kind.cancelLeft = 5760;
    kind.cancelWidth = 5520;
    kind.cancelProcedure = "PushButton1_Click";
    kind.goneMessage = "This employee no longer exists: it was deleted while the editor was open, "
                       "so nothing was saved.";
    kind.noun = "employee";
    return kind;
}();

const ContactKind kCustomerKind = [] {
    ContactKind kind{};
    kind.windowName = "Form5";
    kind.table = "Customers";
    kind.caption = "Customers";
    kind.firstNameLabel = "Firstname";
    kind.lastNameLabel = "Lastname";
    kind.clientWidth = 5760;
    kind.saveWidth = 2760;
    kind.cancelName = "PushButton3";
    kind.cancelLeft = 3000;
    kind.cancelWidth = 2640;
    kind.cancelProcedure = "PushButton3_Click";
    kind.goneMessage = "This customer no longer exists: it was deleted while the editor was open, "
                       "so nothing was saved.";
    kind.noun = "customer";
    return kind;
}();
