# Helpers shared by every target of the project.

# Warnings for our own code; Qt and the other libraries come in as system includes.
function(quorvane_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wshadow -Wnon-virtual-dtor
                                             -Wcast-align -Woverloaded-virtual)
endfunction()

# quorvane_library(name SOURCES ... LIBS ...): a static library of one subsystem.
function(quorvane_library name)
    cmake_parse_arguments(L "" "" "SOURCES;LIBS" ${ARGN})
    add_library(${name} STATIC ${L_SOURCES})
    target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${L_LIBS})
    quorvane_warnings(${name})
endfunction()

# quorvane_test(name SOURCES ... LIBS ... [LABELS ...] [TIMEOUT s]): a Qt Test suite run
# headless under CTest.
function(quorvane_test name)
    cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 300)
    endif()
    if(QUORVANE_TSAN)
        # The thread sanitizer runs code five to fifteen times slower.
        math(EXPR T_TIMEOUT "${T_TIMEOUT} * 4")
    endif()
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE Qt5::Test ${T_LIBS})
    target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests/support)
    quorvane_warnings(${name})
    add_test(NAME ${name} COMMAND ${name})
    set(env "QT_QPA_PLATFORM=offscreen"
            "QUORVANE_TEST_DATA=${CMAKE_SOURCE_DIR}/tests/data"
            "XDG_CONFIG_HOME=${CMAKE_BINARY_DIR}/test-config/${name}"
            "XDG_DATA_HOME=${CMAKE_BINARY_DIR}/test-data/${name}"
            "ASAN_OPTIONS=detect_leaks=0:abort_on_error=1"
            "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "${env}" TIMEOUT ${T_TIMEOUT}
                                            LABELS "${T_LABELS}")
    # The suites of the worker's threads and what they share (no window): the target
    # thread_tests builds them for tools/tsan_check.sh.
    foreach(label IN LISTS T_LABELS)
        if(label IN_LIST QUORVANE_THREAD_LABELS)
            set_property(GLOBAL APPEND PROPERTY QUORVANE_THREAD_TESTS ${name})
            break()
        endif()
    endforeach()
endfunction()

# Labels of the suites that tools/tsan_check.sh runs under the thread sanitizer.
set(QUORVANE_THREAD_LABELS device model sim d2xx protocol)
