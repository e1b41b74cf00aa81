#pragma once
// Every event handler runs inside guarded(): an error that no procedure handled is shown in a
// message box naming it, and the program ends. Qt never sees an exception.

#include <exception>
#include <utility>
#include <QString>

#include "platform/Errors.h"

namespace platform {

void reportFatal(const QString& what) noexcept;

template <class F>
void guarded(F&& handler) noexcept {
    try {
        std::forward<F>(handler)();
    } catch (const ProgramEnded&) {
        // A test stand-in ended the program; the unwinding stops here.
    } catch (const std::exception& e) {
        reportFatal(QString::fromUtf8(e.what()));
    } catch (...) {
        reportFatal(QStringLiteral("不明なエラー"));
    }
}

}  // namespace platform
