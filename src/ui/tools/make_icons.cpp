// Writes the program's icon for the desktop: OUTPUT_DIR/<size>x<size>/apps/NAME.png for each
// size and OUTPUT_DIR/scalable/apps/NAME.svg. Usage: make_icons OUTPUT_DIR NAME
#include "ui/program_icon.h"

#include <QDir>
#include <QFile>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_icons OUTPUT_DIR NAME\n");
        return 2;
    }
    const QString root = QString::fromLocal8Bit(argv[1]);
    const QString name = QString::fromLocal8Bit(argv[2]);
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256, 512}) {
        const QString folder = QStringLiteral("%1/%2x%2/apps").arg(root).arg(size);
        if (!QDir().mkpath(folder) ||
            !ProgramIconImage(size).save(folder + QLatin1Char('/') + name + ".png")) {
            std::fprintf(stderr, "make_icons: cannot write into %s\n", qPrintable(folder));
            return 1;
        }
    }
    const QString folder = root + QStringLiteral("/scalable/apps");
    QFile svg(folder + QLatin1Char('/') + name + ".svg");
    if (!QDir().mkpath(folder) || !svg.open(QIODevice::WriteOnly) ||
        svg.write(ProgramIconSvg()) < 0) {
        std::fprintf(stderr, "make_icons: cannot write into %s\n", qPrintable(folder));
        return 1;
    }
    return 0;
}
