// Entry point of the test programs; those of the window (TW_GUI_TESTS) drive real Qt widgets, on
// the offscreen platform unless a display was asked for explicitly.
//
// ctest runs one test per process. A test that skipped ends its process with 77, which ctest
// counts as skipped; one that skipped and also failed, by a check or by a sanitizer's report at
// exit, ends it otherwise and counts as failed.
#include <cstdlib>
#include <gtest/gtest.h>
#ifdef TW_GUI_TESTS
#include <QApplication>
#endif

int main(int argc, char** argv) {
#ifdef TW_GUI_TESTS
    setenv("QT_QPA_PLATFORM", "offscreen", 0); // 0: a platform already named stays
    QApplication app(argc, argv);
#endif
    ::testing::InitGoogleTest(&argc, argv);
    const int status = RUN_ALL_TESTS();
    return status == 0 && ::testing::UnitTest::GetInstance()->skipped_test_count() > 0 ? 77 : status;
}
