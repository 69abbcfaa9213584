#pragma once

#include "records/call_import.h"

#include <QDialog>
#include <array>

class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
class QTableWidget;

// Shows what an import of a CSV file will store before anything is written: which column
// gives each field of a call (chosen by header name, changeable), the first calls as they
// will be stored, every line that cannot be read with its number and why, and the people and
// list values that will be added. "Import" asks once about the additions and the lines left
// out, then writes everything in one transaction.
class ImportWindow : public QDialog {
    Q_OBJECT
public:
    // The calls shown in the preview.
    static constexpr int kPreviewCalls = 100;

    ImportWindow(CallImport import, const QString& path, QWidget* parent = nullptr);

    // The calls written (0 until the import is done).
    int imported() const { return m_imported; }

    QComboBox* columnBox(int field) const { return m_columns.at(size_t(field)); }
    QTableWidget* preview() const { return m_preview; }
    QListWidget* problemList() const { return m_problems; }
    QPushButton* importButton() const { return m_import; }

    // Asks for a CSV file and shows the window over `parent`; answers the calls imported.
    static int importFile(QWidget* parent);

private:
    void refresh();
    void importCalls();

    CallImport m_importer;
    std::array<QComboBox*, CallImport::kFieldCount> m_columns{};
    QLabel* m_summary;
    QTableWidget* m_preview;
    QListWidget* m_problems;
    QLabel* m_additions;
    QPushButton* m_import;
    int m_imported = 0;
};
