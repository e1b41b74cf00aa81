#include "platform/SystemError.h"

#include <cerrno>
#include <cstring>
#include <utility>

namespace platform {

QString describeError(int error) {
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
        {ENAMETOOLONG, "名前が長すぎます。"},
    };
    QString reason;
    for (const auto& [number, text] : kReasons) {
        if (number == error) {
            reason = QString::fromUtf8(text);
        }
    }
    return reason + QStringLiteral("(%1)").arg(QString::fromLocal8Bit(std::strerror(error)));
}

}  // namespace platform
