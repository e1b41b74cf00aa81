#include "platform/Places.h"

#include <QFileInfo>

#include "platform/Errors.h"
#include "platform/Platform.h"
#include "platform/SystemError.h"
#include "platform/posix/UserFolders.h"

namespace platform {

bool portable() {
    return !services().userPlaces.has_value();
}

bool installedLayout(const QString& programFolder) {
    if (!programFolder.endsWith(QStringLiteral("/lib/koroncam"))) {
        return false;
    }
    const QString program =
        QFileInfo(programFolder + QStringLiteral("/KoronCam")).canonicalFilePath();
    const QString command =
        QFileInfo(programFolder + QStringLiteral("/../../bin/koroncam")).canonicalFilePath();
    return !program.isEmpty() && command == program;
}

QString settingsFolder() {
    return portable() ? appFolder() : services().userPlaces->settingsFolder;
}

QString defaultPictureFolder() {
    // The portable default keeps the shape that existing settings files rely on; the user's folder
    // ends with "/", since picture names are appended to the folder directly.
    return portable() ? appFolder() + QStringLiteral("/bmp")
                      : services().userPlaces->pictureFolder + QLatin1Char('/');
}

void makeSettingsFolder() {
    if (portable()) {
        return;
    }
    const QString folder = settingsFolder();
    if (const int error = makeFolders(folder); error != 0) {
        throw Error(QStringLiteral("設定ファイルのフォルダ %1 を作れません。\r\n%2")
                        .arg(folder, describeError(error)));
    }
}

}  // namespace platform
