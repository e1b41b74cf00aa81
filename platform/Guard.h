#pragma once
// Every event handler runs inside guarded(): an error that no procedure handled is shown in a
// message box naming it, and the program ends. Qt never sees an exception.

#include <exception>
#include <utility>
#include <QString>

#include "platform/Errors.h"

namespace platform {

void reportFatal(const QString& what) noexcept;
// True when the program has been ended and what unwinds is that end, not an error.
bool programEnded() noexcept;

template <class F>
void guarded(F&& handler) noexcept {
    try {
        std::forward<F>(handler)();
    } catch (const std::exception& e) {
        reportFatal(QString::fromUtf8(e.what()));
    } catch (...) {
        if (!programEnded()) {
            reportFatal(QStringLiteral("不明なエラー"));
        }
    }
}

}  // namespace platform
