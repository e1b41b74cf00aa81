// Profile files on disk: the rules of ProfileRules.h applied to whole files. Each call reads the
// file afresh; nothing is cached, so a change made by another program is seen at the next call.

#include "platform/Profile.h"

#include <cerrno>
#include <cstring>
#include <optional>
#include <utility>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include "platform/Errors.h"
#include "platform/posix/ProfileRules.h"

namespace platform::profile {

namespace {

// The reason in words a user of this program reads, followed by the system's own text; Qt's
// text when no system error is known.
QString reasonFor(int error, const QString& qtText) {
    if (error == 0) {
        return qtText;
    }
    static const std::pair<int, const char*> kReasons[] = {
        {ENOENT, "フォルダがありません。"},
        {ENOTDIR, "パスの途中にフォルダでないものがあります。"},
        {EISDIR, "同じ名前のフォルダがあります。"},
        {EACCES, "アクセスが許可されていません。"},
        {EPERM, "アクセスが許可されていません。"},
        {EROFS, "読み取り専用の場所です。"},
        {ENOSPC, "ディスクの空きが足りません。"},
        {EDQUOT, "ディスクの空きが足りません。"},
        {EFBIG, "ファイルが大きすぎます。"},
        {EIO, "ディスクの読み書きに失敗しました。"},
    };
    QString reason;
    for (const auto& [number, text] : kReasons) {
        if (number == error) {
            reason = QString::fromUtf8(text);
        }
    }
    return reason + QStringLiteral("(%1)").arg(QString::fromLocal8Bit(std::strerror(error)));
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
    // QSaveFile writes "KoronCam.ini.XXXXXX" in the same folder and renames it into place, so a
    // crash or a full disk leaves the old file whole; it never falls back to writing in place.
    if (QFileInfo(file).isDir()) {
        throw Error(cannotWrite(file, reasonFor(EISDIR, {})));
    }
    QSaveFile out(file);
    errno = 0;
    if (!out.open(QIODevice::WriteOnly)) {
        throw Error(cannotWrite(file, reasonFor(errno, out.errorString())));
    }
    // Qt 6.4's commit() renames the file into place even when its last flush failed (a full
    // disk, a size limit), so the flush is checked here, while the old file is still in place.
    errno = 0;
    if (out.write(after) != after.size() || !out.flush()) {
        throw Error(cannotWrite(file, reasonFor(errno, out.errorString())));
    }
    errno = 0;
    if (!out.commit()) {
        throw Error(cannotWrite(file, reasonFor(errno, out.errorString())));
    }
}

}  // namespace platform::profile
