#include "settings/SettingsFile.h"

#include "platform/Errors.h"
#include "settings/Conversions.h"
#include "settings/IniManage.h"

namespace settings {
namespace {

const QString kMaxPathSize = QStringLiteral("maxpathsize");
const QString kPath = QStringLiteral("path");
const QString kStopIfFull = QStringLiteral("stopiffull");
const QString kKcActive = QStringLiteral("kcactive");
const QString kRunPng = QStringLiteral("runpng");
const QString kFormMin = QStringLiteral("formmin");

// Section "extra": additions whose defaults keep the program as it always was.
const QString kExtraSection = QStringLiteral("extra");
const QString kInterval = QStringLiteral("interval");
const QString kSkipSame = QStringLiteral("skipsame");

// Section "capture": what the desktop gives to keep.
const QString kCaptureSection = QStringLiteral("capture");
const QString kRestoreToken = QStringLiteral("restoretoken");

QString read(const QString& key, const QString& def) {
    return IniManage::ReadIni(IniManage::kSection, key, def);
}

bool readBoolean(const QString& key, bool def) {
    return toBoolean(key, read(key, booleanText(def)));
}

void write(const QString& key, const QString& value) {
    IniManage::WriteIni(IniManage::kSection, key, value);
}

QString readExtra(const QString& key, const QString& def) {
    return IniManage::ReadIni(kExtraSection, key, def);
}

// Writes `value` unless the file already gives it, a missing key giving `def`: defaults add
// nothing to a file that lacks them.
void writeExtra(const QString& key, const QString& value, const QString& def) {
    if (readExtra(key, def) != value) {
        IniManage::WriteIni(kExtraSection, key, value);
    }
}

QString notReadable(const QString& key, const QString& value, const QString& def) {
    return QStringLiteral(
               "設定ファイル %1 の [%2] の %3 の値 \"%4\" は使えません。"
               "代わりに %5 で動きます。\r\n")
        .arg(IniManage::iniPath(), kExtraSection, key, value, def);
}

}  // namespace

Settings load(const QString& defaultFolder) {
    const Settings defaults;
    Settings s;
    s.maxpathsize =
        toInt32(kMaxPathSize, read(kMaxPathSize, QString::number(defaults.maxpathsize)));
    s.path = read(kPath, defaultFolder);
    s.stopiffull = readBoolean(kStopIfFull, defaults.stopiffull);
    s.kcactive = readBoolean(kKcActive, defaults.kcactive);
    s.runpng = readBoolean(kRunPng, defaults.runpng);
    s.formmin = readBoolean(kFormMin, defaults.formmin);
    return s;
}

QString loadExtra(Settings& s) {
    const Settings defaults;
    QString problems;
    const QString defaultInterval = QString::number(defaults.interval);
    const QString interval = readExtra(kInterval, defaultInterval);
    try {
        s.interval = toInt32(kInterval, interval);
    } catch (const platform::Error&) {
        s.interval = 0;  // outside the range: told below
    }
    if (s.interval < kIntervalMin || s.interval > kIntervalMax) {
        s.interval = defaults.interval;
        problems += notReadable(kInterval, interval, defaultInterval) +
                    QStringLiteral("撮影間隔は %1 から %2 までの秒数です。\r\n")
                        .arg(kIntervalMin)
                        .arg(kIntervalMax);
    }
    const QString defaultSkipSame = booleanText(defaults.skipsame);
    const QString skipSame = readExtra(kSkipSame, defaultSkipSame);
    try {
        s.skipsame = toBoolean(kSkipSame, skipSame);
    } catch (const platform::Error&) {
        s.skipsame = defaults.skipsame;
        problems += notReadable(kSkipSame, skipSame, defaultSkipSame) +
                    QStringLiteral("True か False にして下さい。\r\n");
    }
    if (!problems.isEmpty()) {
        problems += QStringLiteral("設定ダイアログで OK を押すと、ファイルも直ります。");
    }
    return problems;
}

void saveOptions(const Settings& s) {
    write(kMaxPathSize, QString::number(s.maxpathsize));
    write(kPath, s.path);
    write(kKcActive, booleanText(s.kcactive));
    write(kStopIfFull, booleanText(s.stopiffull));
    write(kRunPng, booleanText(s.runpng));
    const Settings defaults;
    writeExtra(kInterval, QString::number(s.interval), QString::number(defaults.interval));
    writeExtra(kSkipSame, booleanText(s.skipsame), booleanText(defaults.skipsame));
}

void saveDisplay(const Settings& s) {
    write(kFormMin, booleanText(s.formmin));
}

QString loadRestoreToken() {
    return IniManage::ReadIni(kCaptureSection, kRestoreToken, {});
}

void saveRestoreToken(const QString& token) {
    IniManage::WriteIni(kCaptureSection, kRestoreToken, token);
}

}  // namespace settings
