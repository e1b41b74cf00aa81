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

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

// The path of one line of user-dirs.dirs for `key`, with `home` put in for "$HOME"; nothing when
// the line is of another key or not of the written form.
std::optional<QByteArray> userDirLine(const QByteArray& home, QByteArrayView line,
                                      QByteArrayView key) {
    qsizetype i = 0;
    auto skipBlanks = [&] {
        while (i < line.size() && isBlank(line[i])) {
            ++i;
        }
    };
    skipBlanks();
    if (!line.sliced(i).startsWith(key)) {
        return std::nullopt;
    }
    i += key.size();
    skipBlanks();
    if (i >= line.size() || line[i] != '=') {
        return std::nullopt;
    }
    ++i;
    skipBlanks();
    if (i >= line.size() || line[i] != '"') {
        return std::nullopt;
    }
    ++i;
    QByteArray path;
    const QByteArrayView value = line.sliced(i);
    if (value.startsWith("$HOME") && (value.size() == 5 || value[5] == '/' || value[5] == '"')) {
        path = home;
        i += 5;
    } else if (!value.startsWith("/")) {
        return std::nullopt;  // the file allows only these two forms
    }
    for (;; ++i) {
        if (i >= line.size()) {
            return std::nullopt;  // no closing quote
        }
        if (line[i] == '"') {
            break;
        }
        if (line[i] == '\\' && i + 1 < line.size()) {
            ++i;  // the escapes xdg-user-dirs writes: \" \\ \$ \`
        }
        path += line[i];
    }
    ++i;
    skipBlanks();
    if (i < line.size() && line[i] != '#') {
        return std::nullopt;  // more than one word: a shell would not assign it either
    }
    while (path.size() > 1 && path.endsWith('/')) {
        path.chop(1);
    }
    return path;
}

}  // namespace

QByteArray userDir(const QString& home, const QByteArray& userDirs, const char* key,
                   const char* fallbackName) {
    const QByteArray encodedHome = QFile::encodeName(home);
    QByteArray folder = encodedHome + '/' + fallbackName;
    for (const QByteArray& line : userDirs.split('\n')) {
        if (std::optional<QByteArray> path = userDirLine(encodedHome, line, key)) {
            folder = std::move(*path);
        }
    }
    return folder;
}

namespace {

// The folder of `key` as a path the program can keep in its text settings; a name that is not
// UTF-8 cannot be kept there, so the usual folder serves then.
QString decodedUserDir(const QString& home, const QByteArray& userDirs, const char* key,
                       const char* fallbackName) {
    const QByteArray folder = userDir(home, userDirs, key, fallbackName);
    const QString decoded = QFile::decodeName(folder);
    if (QFile::encodeName(decoded) != folder) {
        return home + QLatin1Char('/') + QLatin1String(fallbackName);
    }
    return decoded;
}

// The text of `config`'s user-dirs.dirs; empty without one, the usual case without
// xdg-user-dirs, where the default folders serve.
QByteArray userDirsText(const QString& config) {
    QFile file(config + QStringLiteral("/user-dirs.dirs"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

QString picturesFolder(const QString& home, const QByteArray& userDirs) {
    return decodedUserDir(home, userDirs, "XDG_PICTURES_DIR", "Pictures");
}

QString videosFolder(const QString& home, const QByteArray& userDirs) {
    return decodedUserDir(home, userDirs, "XDG_VIDEOS_DIR", "Videos");
}

UserPlaces installedPlaces() {
    const QString home = homeFolder();
    const QString config = configHome(home, qEnvironmentVariable("XDG_CONFIG_HOME"));
    const QString pictures = picturesFolder(home, userDirsText(config));
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
    const QString videos =
        videosFolder(home, userDirsText(configHome(home, qEnvironmentVariable("XDG_CONFIG_HOME"))));
    makeFolders(videos, 0777);  // a fresh home may not have one yet; the export says if it fails
    return videos;
}

}  // namespace platform
