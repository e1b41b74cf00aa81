#pragma once
// The help viewer that opens the program's help file.

#include <QString>

class QWidget;

namespace platform {

constexpr unsigned kHelpContext = 1;  // show the topic whose context number is `data`
constexpr unsigned kHelpFinder = 11;  // show the contents

class Help {
public:
    virtual ~Help() = default;
    // Opens `file` (a bare name, looked up beside the program) for `command` and `data`. The
    // viewer reports a missing or unreadable file itself.
    virtual void show(QWidget* caller, const QString& file, unsigned command, unsigned data) = 0;
};

}  // namespace platform
