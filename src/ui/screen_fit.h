#pragma once

class QWidget;

// Keeps every window of the program inside the available area of its screen (the screen less
// the desktop's panels), at any scale: a window that can be resized and would be larger is made
// smaller, and a window that would reach past an edge is moved in, frame and title bar included.
// Installed once on the application; acts each time a window is shown.
void KeepWindowsOnScreen();

// Fits one window now, as above.
void FitOnScreen(QWidget* window);
