// Writes the program's icon into the hicolor icon theme's layout, drawn by the code that draws
// the windows' icon: FOLDER/<n>x<n>/apps/koroncam.png for each usual size.

#include <cstdio>
#include <QDir>
#include <QImage>
#include <QString>

#include "about/ProgramIcon.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString apps = QStringLiteral("%1/%2x%2/apps").arg(folder).arg(size);
        const QString file = apps + QStringLiteral("/koroncam.png");
        if (!QDir().mkpath(apps) || !about::programIconImage(size).save(file, "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
