#include "Package.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QProcess>

namespace package {

QString debPath() {
    const QDir folder(QStringLiteral(KORONCAM_PACKAGE_DIR));
    const QStringList debs = folder.entryList({QStringLiteral("koroncam_*.deb")}, QDir::Files);
    if (debs.size() != 1) {
        ADD_FAILURE() << "expected one package in " << folder.path().toStdString() << ", found "
                      << debs.join(' ').toStdString() << " (the test command builds it)";
        return {};
    }
    return folder.filePath(debs.front());
}

Result run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    Result result;
    if (!process.waitForFinished(300000)) {
        result.output = program + QStringLiteral(": ") + process.errorString();
        return result;
    }
    result.output = QString::fromUtf8(process.readAll());
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return result;
}

}  // namespace package
