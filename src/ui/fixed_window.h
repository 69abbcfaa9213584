#pragma once

class QWidget;

// Gives `window` a fixed single border around a client area of the given size in twips: it
// cannot be resized, offers only a close button, and a minimize or maximize asked of it in
// another way (a window manager's key, a double-click on its title) is undone at once, so that
// a modal window never disappears and leaves the program without a window that takes input.
void MakeFixedBorder(QWidget* window, int widthTwips, int heightTwips);
