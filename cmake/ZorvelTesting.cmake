# Environment of every test: headless Qt, the real sample data, and in sanitizer builds
# options that stop at the first report. Allocations beyond memory return null, as they do
# without the sanitizers: the code under test checks for that and must be seen doing so.
# Debian's Qt is not instrumented: the thread sanitizer ignores accesses made inside
# uninstrumented modules and judges those made by our own code. Tests that start a tool
# (fork and exec) while the test watchdog thread runs need die_after_fork=0.
set(ZORVEL_TEST_ENVIRONMENT "QT_QPA_PLATFORM=offscreen" "ZORVEL_REAL_DATA=${PROJECT_SOURCE_DIR}/../shared/data/real")
if(ZORVEL_SANITIZE)
    list(APPEND ZORVEL_TEST_ENVIRONMENT
        "ASAN_OPTIONS=halt_on_error=1:allocator_may_return_null=1:detect_leaks=1"
        "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan-hdf5.supp:print_suppressions=0"
        "UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1"
        "TSAN_OPTIONS=halt_on_error=1:ignore_noninstrumented_modules=1:die_after_fork=0:allocator_may_return_null=1:second_deadlock_stack=1:suppressions=${PROJECT_SOURCE_DIR}/tests/tsan-qt.supp")
endif()

# zorvel_add_test(<name> SOURCES <files...> LIBS <targets...>)
# One Qt Test executable per test case, run headless with the offscreen platform.
function(zorvel_add_test name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} Qt6::Test)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "${ZORVEL_TEST_ENVIRONMENT}")
endfunction()
