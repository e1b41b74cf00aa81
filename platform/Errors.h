#pragma once
// Errors that the program's procedures raise. Their text is shown to the user as it stands.

#include <stdexcept>
#include <QString>

namespace platform {

class Error : public std::runtime_error {
public:
    explicit Error(const QString& message) : std::runtime_error(message.toStdString()) {}
    QString message() const { return QString::fromStdString(what()); }
};

}  // namespace platform
