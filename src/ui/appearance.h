#pragma once

#include <QCursor>
#include <QObject>
#include <QString>
#include <optional>

class QWidget;

// The product words that appear in paths, settings and captions.
inline const QString kVendor = QStringLiteral("Merrowfen");
inline const QString kProductTitle = QStringLiteral("Quorvane");

// The application title: the caption of every message box that names none of its own.
QString AppTitle();
// Derives the application title from `productTitle` and sets it: the text is cut before its
// last blank at least once and until it is at most 40 characters long. A title without a
// blank is kept whole.
void SetAppTitle(const QString& productTitle = kProductTitle);
QString DeriveAppTitle(const QString& productTitle);

// Skins the main window with the style sheet x/o.cjs of the program folder when that file
// exists as a plain, visible file: `mainWindow` and its labels and frames take the button-face
// colour, and `surface`, the child that holds the main window's controls and covers it, takes
// the sheet, so that windows and boxes opened over the main window stay unskinned. A skin that
// cannot be read or is not a valid style sheet fails.
void ApplySkin(QWidget* mainWindow, QWidget* surface);
// The path of the skin file and whether it counts as present.
QString SkinPath();
bool SkinPresent();

// Paints a window, its labels and its frames in the button-face colour.
void SetFormColors(QWidget* window);

// Mouse pointer values of a window: default, hourglass and the custom hand picture.
enum MousePointer { kPointerDefault = 0, kPointerHourglass = 11, kPointerCustom = 99 };

// A window's mouse pointer: the custom picture (from HAND-M.CUR when present) over enabled
// push buttons, the default everywhere else (backgrounds, labels, lists, disabled buttons),
// and no change while the hourglass shows.
class PointerFeedback : public QObject {
public:
    explicit PointerFeedback(QWidget* window);

    // Loads the custom picture from a Windows cursor file; without it the custom pointer is
    // the platform default. Fails when the file exists but cannot be read as a cursor.
    void loadCustom(const QString& cursorFile);
    bool hasCustom() const { return m_custom.has_value(); }

    int pointer() const { return m_pointer; }
    void setPointer(int value);

    // Moving over `widget` sets the custom pointer (an enabled button) or the default one
    // (backgrounds); leaving a button sets the default one.
    void watchButton(QWidget* widget);
    void watchBackground(QWidget* widget);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* m_window;
    std::optional<QCursor> m_custom;
    int m_pointer = kPointerDefault;
};

// The file name of the hand pointer beside the program.
inline const QString kHandCursorFile = QStringLiteral("HAND-M.CUR");
