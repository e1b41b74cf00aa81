#pragma once
// A test suite on one headless desktop of its own, started before its first test and ended
// after its last; every test skips with the reason where the desktop cannot run here.

#include <chrono>
#include <functional>
#include <iostream>
#include <thread>
#include <QElapsedTimer>
#include <QStringList>
#include <gtest/gtest.h>

#include "Session.h"

namespace waylandtest {

template <Desktop kDesktop>
class DesktopTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        Session::Started started = Session::start(kDesktop);
        session = started.session.release();
        whyNot = started.why;
        skipped = started.skipped;
        if (session != nullptr) {
            std::cout << "the desktop came up in " << session->startupMs() << " ms\n";
        }
    }
    static void TearDownTestSuite() {
        delete session;
        session = nullptr;
    }
    void SetUp() override {
        if (session == nullptr && skipped) {
            GTEST_SKIP() << whyNot.toStdString();
        }
        ASSERT_NE(session, nullptr) << whyNot.toStdString();
    }
    void TearDown() override {
        if (HasFailure() && session != nullptr) {
            std::cerr << session->logs().toStdString();
        }
    }

    static inline Session* session = nullptr;
    static inline QString whyNot;
    static inline bool skipped = false;
};

// Calls `done` every 50 ms until it holds or `timeoutMs` has passed; returns its last result.
inline bool waitFor(const std::function<bool()>& done, int timeoutMs = 20000) {
    QElapsedTimer waited;
    waited.start();
    while (!done()) {
        if (waited.elapsed() > timeoutMs) {
            return done();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

// The windows of a sway desktop, read with sway's own client: independent of the code under test.
struct SwayWindows {
    QStringList titles;
    QString focused;  // empty when no window has the focus
};
SwayWindows swayWindows(const Session& session);

}  // namespace waylandtest
