#pragma once
// The Debian package that the test command built, and running the tools that look into it.

#include <QString>
#include <QStringList>

namespace package {

// The one koroncam_*.deb of the package build folder; an empty text (and a failed test) when
// there is not exactly one.
QString debPath();

struct Result {
    int exitCode = -1;  // -1: the program did not run or crashed
    QString output;     // standard output and standard error together
};

// Runs `program` with `arguments` to its end.
Result run(const QString& program, const QStringList& arguments);

}  // namespace package
