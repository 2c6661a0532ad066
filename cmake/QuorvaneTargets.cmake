# SPDX-License-Identifier: GPL-3.0-or-later
# Helpers shared by every target of the project.

# Programs that no test runs (the tools, the benchmarks, helpers such as table_snapshot). A
# sanitizer build is made to run the tests, so there they are left out of the default build
# and built only when named (cmake --build build-test --target window_shots); a test that runs
# one depends on it (add_dependencies), which builds it. Use:
#     add_executable(name ${QUORVANE_ON_REQUEST} sources...)
#     add_subdirectory(folder ${QUORVANE_ON_REQUEST})
set(QUORVANE_ON_REQUEST "")
if(QUORVANE_SANITIZE OR QUORVANE_TSAN)
    set(QUORVANE_ON_REQUEST EXCLUDE_FROM_ALL)
endif()

# ---- Precompiled headers ------------------------------------------------------------------
# Every file includes Qt, every test all of Qt Core (through QtTest), and the window's files
# and their tests Qwt and MathGL too. Two precompiled headers, each compiled once per build,
# spare each file parsing them: q_pch_core (the C++ library and Qt Core) for the targets
# without widgets, q_pch (all of the below) for those with widgets. One header for all would
# make the files without widgets slower: loading a precompiled header takes time by its size,
# and q_pch is half as large again as q_pch_core.
#
# GCC takes a precompiled header only where every macro defined for it is defined the same
# way (and no macro it tests is defined differently): these targets get only what all our
# targets share (the global definitions, Qt Core's, -fPIC), not the QT_<module>_LIB ones,
# which differ from target to target; no header here may test those (QtTest's do, so it is
# not here). A file compiled with other flags (-fopenmp defines _OPENMP, which the C++ library
# tests) gets a warning "not used because ..." and parses the headers itself.
set(QUORVANE_PCH_CORE_HEADERS
    <algorithm> <atomic> <cmath> <cstdio> <functional> <memory> <mutex> <vector>
    <QtCore/QtCore>)
set(QUORVANE_PCH_HEADERS
    ${QUORVANE_PCH_CORE_HEADERS}
    # Qt Gui and Widgets: what the forms and the window use
    <QtGui/QColor> <QtGui/QIcon> <QtGui/QMouseEvent> <QtGui/QPainter> <QtWidgets/QAction>
    <QtWidgets/QApplication> <QtWidgets/QCheckBox> <QtWidgets/QComboBox> <QtWidgets/QDialog>
    <QtWidgets/QDoubleSpinBox> <QtWidgets/QGridLayout> <QtWidgets/QGroupBox>
    <QtWidgets/QHBoxLayout> <QtWidgets/QHeaderView> <QtWidgets/QLabel> <QtWidgets/QLineEdit>
    <QtWidgets/QMainWindow> <QtWidgets/QMenu> <QtWidgets/QMenuBar> <QtWidgets/QMessageBox>
    <QtWidgets/QPlainTextEdit> <QtWidgets/QPushButton> <QtWidgets/QSpacerItem>
    <QtWidgets/QSpinBox> <QtWidgets/QStatusBar> <QtWidgets/QTabWidget> <QtWidgets/QTableWidget>
    <QtWidgets/QTextEdit> <QtWidgets/QToolBar> <QtWidgets/QVBoxLayout> <QtWidgets/QWidget>
    # Qwt: the live log graph
    <qwt_plot.h> <qwt_plot_canvas.h> <qwt_plot_curve.h> <qwt_plot_marker.h> <qwt_plot_picker.h>
    <qwt_scale_draw.h> <qwt_series_data.h> <qwt_text.h>
    # MathGL: the tables' 3D graphs (it brings GSL's names and its own, such as dual and
    # mreal, into every file of these targets)
    <mgl2/mgl.h> <mgl2/qmathgl.h> <mgl2/wnd.h>)

# The folders of q_pch's headers beyond Qt Core, for the targets that use it: where it cannot
# be used, the file parses the headers itself.
add_library(q_pch_includes INTERFACE)
target_include_directories(q_pch_includes SYSTEM INTERFACE
    $<TARGET_PROPERTY:Qt5::Widgets,INTERFACE_INCLUDE_DIRECTORIES>
    $<TARGET_PROPERTY:Qt5::Gui,INTERFACE_INCLUDE_DIRECTORIES> ${QWT_INCLUDE_DIRS}
    ${MGL_INCLUDE_DIR})

# In the sanitizer builds the suites' own code is compiled without optimisation: optimising it
# was half of a suite's compile, and the suites' time goes into waiting on the simulated unit
# and into the code under test (optimised as everywhere else), not into their own lines. A
# precompiled header is only taken by files compiled at the same level, so the suites get a
# second pair, suffixed _test.
set(QUORVANE_TEST_OPTIONS "")
if((QUORVANE_SANITIZE OR QUORVANE_TSAN) AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    set(QUORVANE_TEST_OPTIONS -O0)
endif()
set(QUORVANE_PCH_VARIANTS "")
if(QUORVANE_TEST_OPTIONS)
    set(QUORVANE_PCH_VARIANTS _test)
endif()

# CMake makes a precompiled header only for a target with a source that uses it.
foreach(variant "" ${QUORVANE_PCH_VARIANTS})
    foreach(pch q_pch_core q_pch)
        add_library(${pch}${variant} OBJECT ${CMAKE_CURRENT_LIST_DIR}/pch.cpp)
        set_target_properties(${pch}${variant} PROPERTIES AUTOMOC OFF AUTOUIC OFF AUTORCC OFF)
        target_link_libraries(${pch}${variant} PRIVATE Qt5::Core)
    endforeach()
    target_precompile_headers(q_pch_core${variant} PRIVATE ${QUORVANE_PCH_CORE_HEADERS})
    target_link_libraries(q_pch${variant} PRIVATE q_pch_includes)
    target_precompile_headers(q_pch${variant} PRIVATE ${QUORVANE_PCH_HEADERS})
endforeach()
foreach(variant ${QUORVANE_PCH_VARIANTS})
    target_compile_options(q_pch_core${variant} PRIVATE ${QUORVANE_TEST_OPTIONS})
    target_compile_options(q_pch${variant} PRIVATE ${QUORVANE_TEST_OPTIONS})
endforeach()

# Sets `result` to whether `target` links Qt Widgets, itself or through the libraries it links.
function(quorvane_uses_widgets target result)
    set(pending ${target})
    set(seen "")
    set(found FALSE)
    while(pending AND NOT found)
        list(POP_FRONT pending item)
        string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" item "${item}")
        if(item IN_LIST seen OR NOT TARGET ${item})
            continue()
        endif()
        list(APPEND seen ${item})
        if(item STREQUAL "Qt5::Widgets")
            set(found TRUE)
        endif()
        get_target_property(type ${item} TYPE)
        set(libs "")
        if(NOT type STREQUAL "INTERFACE_LIBRARY" AND NOT item MATCHES "::")
            get_target_property(libs ${item} LINK_LIBRARIES)
        endif()
        get_target_property(interface_libs ${item} INTERFACE_LINK_LIBRARIES)
        foreach(list_name libs interface_libs)
            if(${list_name})
                list(APPEND pending ${${list_name}})
            endif()
        endforeach()
    endwhile()
    set(${result} ${found} PARENT_SCOPE)
endfunction()

# Warnings for our own code (Qt and the other libraries come in as system includes), and the
# shared precompiled headers: every target of the project calls this, after linking its
# libraries (which decide the precompiled header; a target linked to Qt Widgets later gets the
# one without widgets, which is slower for it but works). A suite passes TEST.
function(quorvane_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wshadow -Wnon-virtual-dtor
                                             -Wcast-align -Woverloaded-virtual)
    set(variant "")
    if("TEST" IN_LIST ARGN AND QUORVANE_TEST_OPTIONS)
        target_compile_options(${target} PRIVATE ${QUORVANE_TEST_OPTIONS})
        set(variant _test)
    endif()
    quorvane_uses_widgets(${target} widgets)
    if(widgets)
        target_link_libraries(${target} PRIVATE q_pch_includes)
        target_precompile_headers(${target} REUSE_FROM q_pch${variant})
    else()
        target_precompile_headers(${target} REUSE_FROM q_pch_core${variant})
    endif()
    # Without headers of its own, a target's moc collection holds nothing (a test includes its
    # moc output in its source): loading the precompiled header would be all its work.
    get_target_property(sources ${target} SOURCES)
    list(FILTER sources INCLUDE REGEX "\\.h$")
    if(NOT sources)
        get_target_property(binary_dir ${target} BINARY_DIR)
        set_source_files_properties(${binary_dir}/${target}_autogen/mocs_compilation.cpp
                                    TARGET_DIRECTORY ${target} PROPERTIES
                                    SKIP_PRECOMPILE_HEADERS ON)
    endif()
endfunction()

# Builds made once and run (the sanitizer builds of the tests, a release build) compile a
# library's files eight to a unit: each unit loads the precompiled header (some 200 MB) and
# emits the Qt templates it uses once, not once a file; a release build of the two programs
# takes 94 s instead of 159 s. A developer's build rebuilds one file alone. Names private to
# a file (anonymous namespace, static) must therefore differ across its library's files.
set(unity_default OFF)
if(QUORVANE_SANITIZE OR QUORVANE_TSAN OR CMAKE_BUILD_TYPE STREQUAL "Release")
    set(unity_default ON)
endif()
option(QUORVANE_UNITY "Compile each library eight files to a unit" ${unity_default})

# quorvane_library(name SOURCES ... LIBS ...): a static library of one subsystem.
function(quorvane_library name)
    cmake_parse_arguments(L "" "" "SOURCES;LIBS" ${ARGN})
    add_library(${name} STATIC ${L_SOURCES})
    if(QUORVANE_UNITY)
        set_target_properties(${name} PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE 8)
    endif()
    target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${L_LIBS})
    quorvane_warnings(${name})
endfunction()

# quorvane_test(name SOURCES ... LIBS ... [LABELS ...] [TIMEOUT s] [COST s]): a Qt Test suite
# run headless under CTest. COST, the seconds a long suite takes in a sanitizer build, lets
# CTest start the long ones first on a fresh build (later it goes by the times it measured),
# so that none of them runs alone at the end while the other cores idle.
function(quorvane_test name)
    cmake_parse_arguments(T "" "TIMEOUT;COST" "SOURCES;LIBS;LABELS" ${ARGN})
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
    quorvane_warnings(${name} TEST)
    add_test(NAME ${name} COMMAND ${name})
    set(env "QT_QPA_PLATFORM=offscreen"
            "QUORVANE_TEST_DATA=${CMAKE_SOURCE_DIR}/tests/data"
            "XDG_CONFIG_HOME=${CMAKE_BINARY_DIR}/test-config/${name}"
            "XDG_DATA_HOME=${CMAKE_BINARY_DIR}/test-data/${name}"
            "ASAN_OPTIONS=detect_leaks=0:abort_on_error=1"
            "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "${env}" TIMEOUT ${T_TIMEOUT}
                                            LABELS "${T_LABELS}")
    if(T_COST)
        set_tests_properties(${name} PROPERTIES COST ${T_COST})
    endif()
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
