#pragma once

#include <array>

// The sixteen fields that the employee and the customer editor share: the box, its label, the
// table column it holds and where it stands. What tells the two windows apart is a
// ContactKind.

// One text box of a contact editor; `number` names it TextN.
struct ContactField {
    int number;
    // Caption of the label above the box; nullptr for the two names, which the kind gives.
    const char* label;
    // Column of the Employees or Customers table.
    const char* column;
    // Left, top and width in twips.
    int left;
    int top;
    int width;
};

// Text1 to Text16, in the order of their numbers (which is also the tab order).
extern const std::array<ContactField, 16> kContactFields;
// The box numbers in the column order of the statements that write a contact: e-mail address
// third and job title after company.
extern const std::array<int, 16> kStatementOrder;

// Single-line boxes are this high; Text16, the notes, is taller.
constexpr int kBoxHeight = 345;
constexpr int kNotesHeight = 1425;
// A label stands this far above the top of its box ("Notes" a little less).
constexpr int kLabelRise = 255;
constexpr int kNotesLabelRise = 240;

// Everything that differs between the employee and the customer editor.
struct ContactKind {
    const char* windowName; // objectName and error-report name: Form3 or Form5
    const char* table;
    const char* caption;
    const char* firstNameLabel;
    const char* lastNameLabel;
    int clientWidth; // twips
    int saveWidth;
    const char* cancelName;
    int cancelLeft;
    int cancelWidth;
    const char* cancelProcedure;
    // Shown when an update finds the row gone.
    const char* goneMessage;
    // The row as the person calls it: "employee", "customer".
    const char* noun;
};

extern const ContactKind kEmployeeKind;
extern const ContactKind kCustomerKind;

// The client height of both windows and where their buttons stand, in twips.
constexpr int kContactWindowHeight = 7605;
constexpr int kButtonTop = 7080;
constexpr int kButtonHeight = 405;
constexpr int kSaveLeft = 120;
