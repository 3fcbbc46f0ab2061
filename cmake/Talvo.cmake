# Shared helpers: every layer is a static library with the same flags and one
# precompiled header of the Qt Core classes most files include.

set(TALVO_PCH_HEADERS
    <QByteArray> <QDateTime> <QHash> <QList> <QMap> <QObject> <QString>
    <QStringList> <QVariant> <functional> <memory> <vector>)

function(talvo_set_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow
        -Wnon-virtual-dtor -Wold-style-cast -Wcast-align -Woverloaded-virtual
        -Wno-missing-field-initializers)
    # Everything runs threads; -pthread everywhere also keeps _REENTRANT the same for
    # the shared precompiled header.
    target_compile_options(${target} PRIVATE -pthread)
    if(TALVO_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
    # Test programs link every layer statically: compressed debug sections keep a Debug
    # tree within a CI machine's disk.
    target_link_options(${target} PRIVATE $<$<CONFIG:Debug>:-Wl,--compress-debug-sections=zlib>)
    if(TALVO_SANITIZE)
        target_compile_options(${target} PRIVATE -fsanitize=${TALVO_SANITIZE} -fno-omit-frame-pointer)
        # The sanitizers' check records need millions of relocations: packed, they take a
        # third less room per program.
        target_link_options(${target} PUBLIC -fsanitize=${TALVO_SANITIZE} -Wl,-z,pack-relative-relocs)
    endif()
endfunction()

# A compiled header is about 150 MB with debug information: one per target filled
# the disk of a 2-core CI machine. Every layer shares this one, every test the
# one in tests/. The flags that matter to it (-std, -g, -fPIC, sanitizers, warnings)
# are the same everywhere; the Qt module macros only differ in modules it does not
# include.
add_library(talvo_pch STATIC ${CMAKE_CURRENT_LIST_DIR}/PchAnchor.cpp)
target_link_libraries(talvo_pch PRIVATE Qt6::Core)
target_precompile_headers(talvo_pch PRIVATE ${TALVO_PCH_HEADERS})
talvo_set_warnings(talvo_pch)

# talvo_add_layer(NAME foundation SOURCES a.cpp ... DEPS talvo_x Qt6::Core ...)
function(talvo_add_layer)
    cmake_parse_arguments(L "" "NAME" "SOURCES;DEPS;PRIVATE_DEPS" ${ARGN})
    set(target talvo_${L_NAME})
    add_library(${target} STATIC ${L_SOURCES})
    target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR}/src ${PROJECT_BINARY_DIR}/src)
    target_link_libraries(${target} PUBLIC ${L_DEPS} PRIVATE ${L_PRIVATE_DEPS})
    target_precompile_headers(${target} REUSE_FROM talvo_pch)
    talvo_set_warnings(${target})
endfunction()

# talvo_add_executable(NAME talvoctl SOURCES ... DEPS ...)
function(talvo_add_executable)
    cmake_parse_arguments(E "" "NAME" "SOURCES;DEPS" ${ARGN})
    add_executable(${E_NAME} ${E_SOURCES})
    target_include_directories(${E_NAME} PRIVATE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${E_NAME} PRIVATE ${E_DEPS})
    talvo_set_warnings(${E_NAME})
endfunction()

# talvo_add_test(NAME tst_foundation SOURCES ... DEPS ... [SERIAL])
# One GoogleTest executable per layer; every TEST becomes a ctest test.
function(talvo_add_test)
    cmake_parse_arguments(T "SERIAL" "NAME" "SOURCES;DEPS;LABELS" ${ARGN})
    add_executable(${T_NAME} ${T_SOURCES})
    target_include_directories(${T_NAME} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
    target_link_libraries(${T_NAME} PRIVATE ${T_DEPS} talvo_testmain)
    target_precompile_headers(${T_NAME} REUSE_FROM talvo_test_pch)
    talvo_set_warnings(${T_NAME})
    # The environment the tests need is set by tests/support/TestMain.cpp.
    set(props "")
    if(T_SERIAL)
        list(APPEND props RUN_SERIAL TRUE)
    endif()
    gtest_discover_tests(${T_NAME} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
        PROPERTIES ${props} LABELS "${T_LABELS}")
endfunction()
