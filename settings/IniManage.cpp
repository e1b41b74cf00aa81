#include "settings/IniManage.h"

#include "platform/Places.h"
#include "platform/Platform.h"
#include "platform/Profile.h"

namespace IniManage {

QString iniPath() {
    return platform::settingsFolder() + QStringLiteral("/KoronCam.ini");
}

// The value comes back whole from the profile backend, so there is no buffer to cut at a NUL.
QString ReadIni(const QString& section, const QString& key, const QString& def) {
    return platform::profile::read(iniPath(), section, key, def);
}

void WriteIni(const QString& section, const QString& key, const QString& value) {
    platform::makeSettingsFolder();  // an installed copy's folder may not exist yet
    platform::profile::write(iniPath(), section, key, value);
}

QString CutNull(const QString& text) {
    const qsizetype nul = text.indexOf(QChar(u'\0'));
    return nul < 0 ? QString() : text.first(nul);
}

}  // namespace IniManage
