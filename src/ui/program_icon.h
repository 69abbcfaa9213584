#pragma once

#include <QByteArray>
#include <QIcon>
#include <QImage>

// The program's icon, a blue speech bubble with a white tick. One description draws the
// window icon, the PNG sizes and the SVG that the desktop menu shows.
QIcon ProgramIcon();
// The icon drawn at `size` x `size` pixels.
QImage ProgramIconImage(int size);
// The icon as a scalable SVG document.
QByteArray ProgramIconSvg();
