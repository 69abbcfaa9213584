#pragma once

#include <QString>

class QWidget;

// Control characters cannot be seen in a text box, and the engine stops reading a statement
// at a NUL: they are kept out of every text box as they are typed or pasted. A one-line box
// turns a tab or line break into one blank; a box of several lines keeps its tabs and line
// breaks. Every other character, any script, mark or emoji, stays as typed.
QString WithoutControlCharacters(const QString& text, bool severalLines);

// Guards every text box of `window` (and the boxes added to it later are not guarded: call
// this once the controls are built).
void KeepControlCharactersOut(QWidget* window);
