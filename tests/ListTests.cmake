# Run by ctest as it starts, once per area program (TW_PROGRAM, run through env with TW_ENV): adds
# each GoogleTest test as a ctest test of its own. A test that skipped ends its process with 77
# (support/TestMain.cpp), and that alone makes it count as skipped: gtest_discover_tests would
# also mark skipped any test whose output holds "[  SKIPPED ]", whatever its exit status, so one
# that skipped and then failed (a sanitizer's report at exit) would not count as failed.
if(NOT EXISTS "${TW_PROGRAM}")
    add_test("${TW_PROGRAM}_NOT_BUILT" "${TW_PROGRAM}")
    return()
endif()
execute_process(COMMAND /usr/bin/env ${TW_ENV} "${TW_PROGRAM}" --gtest_list_tests
                OUTPUT_VARIABLE listing ERROR_VARIABLE errors RESULT_VARIABLE status TIMEOUT 60)
if(NOT status EQUAL 0)
    add_test("${TW_PROGRAM}_CANNOT_LIST_TESTS" "${TW_PROGRAM}" --gtest_list_tests)
    return()
endif()
# Parameterized tests carry a comment with their parameter; only the names count.
string(REGEX REPLACE "  #[^\n]*" "" listing "${listing}")
string(REGEX MATCHALL "[^\n]+" lines "${listing}")
foreach(line IN LISTS lines)
    if(line MATCHES "^([^ ]+\\.)$")
        set(suite "${CMAKE_MATCH_1}")
    elseif(line MATCHES "^  ([^ ]+)$")
        set(test "${suite}${CMAKE_MATCH_1}")
        add_test("${test}" /usr/bin/env ${TW_ENV} "${TW_PROGRAM}" "--gtest_filter=${test}")
        set_tests_properties("${test}" PROPERTIES SKIP_RETURN_CODE 77 WORKING_DIRECTORY "${TW_WORKING_DIR}")
    endif()
endforeach()
