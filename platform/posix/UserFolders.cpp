#include "platform/posix/UserFolders.h"

#include <cerrno>
#include <optional>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QFile>

#include "platform/VideoFolder.h"

namespace platform {
namespace {

const QString kProgramFolder = QStringLiteral("/KoronCam");

QString homeFolder() {
    QString home = qEnvironmentVariable("HOME");
    if (home.isEmpty()) {
        if (const passwd* user = ::getpwuid(::getuid()); user != nullptr) {
            home = QFile::decodeName(user->pw_dir);
        }
    }
    return home;
}

// $XDG_CONFIG_HOME when it holds an absolute path (the base-directory rules ignore a relative
// one), else `home` + "/.config".
QString configHome(const QString& home, const QString& xdgConfigHome) {
    return xdgConfigHome.startsWith(QLatin1Char('/')) ? xdgConfigHome
                                                      : home + QStringLiteral("/.config");
}

// The text between the quotes of a user-dirs.dirs value, with the shell's backslash escapes
// undone; nothing when `value` is not one quoted word.
std::optional<QByteArray> unquote(const QByteArray& value) {
    if (value.size() < 2 || !value.startsWith('"')) {
        return std::nullopt;
    }
    QByteArray text;
    for (qsizetype i = 1; i < value.size(); ++i) {
        const char c = value[i];
        if (c == '\\' && i + 1 < value.size()) {
            text += value[++i];
        } else if (c == '"') {
            return i + 1 == value.size() ? std::optional(text) : std::nullopt;
        } else {
            text += c;
        }
    }
    return std::nullopt;
}

// The folder that `userDirs` names for `key`; `home` + "/" + `fallback` when it names none.
QString userDir(const QString& home, const QByteArray& userDirs, const QByteArray& key,
                const QString& fallback) {
    QString folder = home + QLatin1Char('/') + fallback;
    for (const QByteArray& rawLine : userDirs.split('\n')) {
        const QByteArray line = rawLine.trimmed();
        const qsizetype equals = line.indexOf('=');
        if (equals < 0 || line.left(equals).trimmed() != key) {
            continue;
        }
        const std::optional<QByteArray> value = unquote(line.mid(equals + 1).trimmed());
        if (!value) {
            continue;
        }
        QString path;
        if (value->startsWith("$HOME") && (value->size() == 5 || value->at(5) == '/')) {
            path = home + QFile::decodeName(value->mid(5));
        } else if (value->startsWith('/')) {
            path = QFile::decodeName(*value);
        } else {
            continue;  // the file allows only these two forms
        }
        while (path.size() > 1 && path.endsWith(QLatin1Char('/'))) {
            path.chop(1);
        }
        folder = path;
    }
    return folder;
}

}  // namespace

QString picturesFolder(const QString& home, const QByteArray& userDirs) {
    return userDir(home, userDirs, "XDG_PICTURES_DIR", QStringLiteral("Pictures"));
}

QString videosFolder(const QString& home, const QByteArray& userDirs) {
    return userDir(home, userDirs, "XDG_VIDEOS_DIR", QStringLiteral("Videos"));
}

bool canWrite(const QString& folder) {
    return ::access(QFile::encodeName(folder).constData(), W_OK | X_OK) == 0;
}

UserPlaces installedPlaces() {
    const QString home = homeFolder();
    const QString config = configHome(home, qEnvironmentVariable("XDG_CONFIG_HOME"));
    QByteArray userDirs;
    // No such file is the usual case without xdg-user-dirs; the default folder serves then.
    if (QFile file(config + QStringLiteral("/user-dirs.dirs")); file.open(QIODevice::ReadOnly)) {
        userDirs = file.readAll();
    }
    const QString pictures = picturesFolder(home, userDirs);
    makeFolders(pictures, 0777);
    return {config + kProgramFolder, pictures + kProgramFolder};
}

int makeFolders(const QString& path, unsigned mode) {
    const QByteArray bytes = QFile::encodeName(path);
    // Each level from the top down; a level that exists already is fine.
    for (qsizetype slash = bytes.indexOf('/', 1);; slash = bytes.indexOf('/', slash + 1)) {
        const QByteArray level = slash < 0 ? bytes : bytes.left(slash);
        if (!level.isEmpty() && ::mkdir(level.constData(), mode) != 0 && errno != EEXIST) {
            return errno;
        }
        if (slash < 0) {
            break;
        }
    }
    struct stat info {};
    if (::stat(bytes.constData(), &info) != 0) {
        return errno;
    }
    return S_ISDIR(info.st_mode) ? 0 : ENOTDIR;
}

QString userVideosFolder() {
    const QString home = homeFolder();
    QByteArray userDirs;
    const QString config = configHome(home, qEnvironmentVariable("XDG_CONFIG_HOME"));
    if (QFile file(config + QStringLiteral("/user-dirs.dirs")); file.open(QIODevice::ReadOnly)) {
        userDirs = file.readAll();
    }
    const QString videos = videosFolder(home, userDirs);
    makeFolders(videos, 0777);  // a fresh home may not have one yet; the export says if it fails
    return videos;
}

}  // namespace platform
