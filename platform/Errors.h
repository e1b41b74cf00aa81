#pragma once
// The program's one way to report a failure: a procedure that fails throws platform::Error, whose
// text is shown to the user as it stands, in Japanese. A procedure that knows only why something
// failed (a system call) throws the reason, from describeError(); its caller, which knows what was
// being done and on which file, catches it and shows or throws the whole sentence. Only the C
// boundary of the encoder library keeps its numeric codes.

#include <stdexcept>
#include <QString>

namespace platform {

class Error : public std::runtime_error {
public:
    explicit Error(const QString& message) : std::runtime_error(message.toStdString()) {}
    QString message() const { return QString::fromStdString(what()); }
};

}  // namespace platform
