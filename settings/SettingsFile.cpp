#include "settings/SettingsFile.h"

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

void saveOptions(const Settings& s) {
    write(kMaxPathSize, QString::number(s.maxpathsize));
    write(kPath, s.path);
    write(kKcActive, booleanText(s.kcactive));
    write(kStopIfFull, booleanText(s.stopiffull));
    write(kRunPng, booleanText(s.runpng));
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
