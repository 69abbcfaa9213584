#pragma once

class QWidget;

// A window with a fixed single border offers only a close button, and a minimize or maximize
// asked of it in another way (a window manager's key or button, a double-click on its title)
// is undone at once, so that a modal window never disappears and leaves the program without a
// window that takes input. For boxes whose size the toolkit computes.
void KeepFixedBorder(QWidget* window);

// The same for a window with a client area of the given size in twips, which cannot be
// resized either.
void MakeFixedBorder(QWidget* window, int widthTwips, int heightTwips);

// Moves a window, frame included, to the centre of the screen of the window that opened it (or
// of the primary screen).
void CentreOnScreen(QWidget* window);
