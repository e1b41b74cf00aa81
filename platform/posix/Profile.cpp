// Profile files on disk: the rules of ProfileRules.h applied to whole files. Each call reads the
// file afresh; nothing is cached, so a change made by another program is seen at the next call.

#include "platform/Profile.h"

#include <cerrno>
#include <cstring>
#include <optional>
#include <utility>
#include <QFile>
#include <QFileInfo>

#include "platform/Errors.h"
#include "platform/AtomicFile.h"
#include "platform/posix/ProfileRules.h"
#include "platform/SystemError.h"

namespace platform::profile {

namespace {

// The system's reason for `error`; Qt's text when no system error is known.
QString reasonFor(int error, const QString& qtText) {
    return error == 0 ? qtText : describeError(error);
}

QString cannotWrite(const QString& file, const QString& reason) {
    return QStringLiteral("設定ファイル %1 に書き込めません。\r\n%2").arg(file, reason);
}

QString cannotRead(const QString& file, const QString& reason) {
    return QStringLiteral("設定ファイル %1 を読み取れません。\r\n%2").arg(file, reason);
}

// The file's bytes; nothing when there is no regular file of that name (a folder of that name
// counts as no file, as it does for the start-up check). A file that exists but cannot be read is
// an error, not a missing file: its settings must not silently fall back to the defaults.
std::optional<QByteArray> load(const QString& file) {
    if (!QFileInfo(file).isFile()) {
        return std::nullopt;
    }
    QFile in(file);
    errno = 0;
    if (!in.open(QIODevice::ReadOnly)) {
        throw Error(cannotRead(file, reasonFor(errno, in.errorString())));
    }
    QByteArray bytes = in.readAll();
    if (in.error() != QFileDevice::NoError) {
        throw Error(cannotRead(file, reasonFor(errno, in.errorString())));
    }
    return bytes;
}

}  // namespace

QString read(const QString& file, const QString& section, const QString& key, const QString& def) {
    const std::optional<QByteArray> content = load(file);
    return QString::fromUtf8(rules::readValue(content.value_or(QByteArray()), section.toUtf8(),
                                              key.toUtf8(), def.toUtf8()));
}

void write(const QString& file, const QString& section, const QString& key, const QString& value) {
    const QByteArray sectionBytes = section.toUtf8();
    const QByteArray keyBytes = key.toUtf8();
    const QByteArray valueBytes = value.toUtf8();
    if (const QString why = rules::whyNotStorable(sectionBytes, keyBytes, valueBytes);
        !why.isEmpty()) {
        throw Error(cannotWrite(file, why));
    }
    const std::optional<QByteArray> before = load(file);
    const QByteArray after = rules::applyWrite(before, sectionBytes, keyBytes, valueBytes);
    if (before && after == *before) {
        return;  // the value is already there: leave the file and its time stamp alone
    }
    // Written to a temporary file in the same folder and renamed into place, so a crash or a
    // full disk leaves the old file whole.
    if (QFileInfo(file).isDir()) {
        throw Error(cannotWrite(file, reasonFor(EISDIR, {})));
    }
    try {
        replaceFile(file, after);
    } catch (const Error& e) {
        throw Error(cannotWrite(file, e.message()));
    }
}

}  // namespace platform::profile
