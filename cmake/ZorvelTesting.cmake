# zorvel_add_test(<name> SOURCES <files...> LIBS <targets...>)
# One Qt Test executable per test case, run headless with the offscreen platform.
function(zorvel_add_test name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} Qt6::Test)
    add_test(NAME ${name} COMMAND ${name})
    # Qt is not instrumented: the thread sanitizer judges only accesses made by our code.
    set_tests_properties(${name} PROPERTIES
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;ZORVEL_REAL_DATA=${PROJECT_SOURCE_DIR}/../shared/data/real;TSAN_OPTIONS=ignore_noninstrumented_modules=1")
endfunction()
