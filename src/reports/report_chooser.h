#pragma once

#include <QDialog>

class PointerFeedback;
class QComboBox;
class QLabel;
class QPushButton;
struct ReportEntry;

// The report chooser: pick one of the six reports and preview it. Opened modally by the main
// window; stays open after a preview so that another report can be chosen.
class Form4 : public QDialog {
    Q_OBJECT
public:
    explicit Form4(QWidget* parent = nullptr);
    ~Form4() override;

    // Colours the window, loads the hand pointer and lists the reports, none chosen.
    void Form_Load();

    void PushButton1_Click(); // Print Preview
    void PushButton2_Click(); // Cancel

    PointerFeedback* pointer() const { return m_pointer; }

    QLabel* Label1;
    QComboBox* Combo1;
    QPushButton* PushButton1;
    QPushButton* PushButton2;

    // The client size in twips.
    static constexpr int kDesignWidth = 4470;
    static constexpr int kDesignHeight = 1320;

    // The statement numbers of one report's preview in PushButton1_Click.
    struct Lines;

private:
    void preview(const ReportEntry& entry, const Lines& lines, class ErrorTrap& trap);

    PointerFeedback* m_pointer;
};
