# qzr_add_test(NAME SOURCES ... [LIBS ...] [LABELS ...] [LOCKS ...])
# One gtest executable per module. LOCKS name what its tests share with other tests and must
# have alone (ctest's RESOURCE_LOCK), such as the display's keyboard focus. Tests are discovered before they run, so a sanitizer build
# never runs a test binary at build time, nor a cross build one it cannot run.
if(CMAKE_CROSSCOMPILING AND WIN32)
    # No Windows build of GoogleTest is installed: it is built here from Debian's sources, and
    # the test programs run under the host's wine64 in a Wine prefix of this build tree.
    set(QZR_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest's sources (googletest package)")
    if(NOT EXISTS ${QZR_GOOGLETEST_SOURCE}/CMakeLists.txt)
        message(FATAL_ERROR "GoogleTest's sources not found in ${QZR_GOOGLETEST_SOURCE}: install "
                            "googletest (make deps), or configure with -DQZR_BUILD_TESTS=OFF")
    endif()
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    add_subdirectory(${QZR_GOOGLETEST_SOURCE} ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
        set(CMAKE_CROSSCOMPILING_EMULATOR
            ${PROJECT_SOURCE_DIR}/scripts/wine-run.sh ${PROJECT_BINARY_DIR}/wine-prefix)
    endif()
else()
    find_package(GTest REQUIRED)
endif()
include(GoogleTest)

set(QZR_UPDATE_GOLDEN OFF CACHE BOOL "Rewrite golden files instead of comparing (QZR_UPDATE_GOLDEN=1 also works)")

# Every test program labelled threaded: what the ThreadSanitizer build needs built (make test-tsan).
add_custom_target(qzr_threaded_tests)

function(qzr_add_test name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS;LOCKS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE GTest::gtest GTest::gtest_main GTest::gmock
                          qzr::test_support qzr::warnings ${ARG_LIBS})
    target_compile_definitions(${name} PRIVATE
        QZR_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
        QZR_BINARY_DIR="${PROJECT_BINARY_DIR}"
        QZR_BIN_DIR="${PROJECT_BINARY_DIR}/bin")
    set(labels ${ARG_LABELS})
    if(NOT labels)
        set(labels unit)
    endif()
    if("threaded" IN_LIST labels)
        add_dependencies(qzr_threaded_tests ${name})
    endif()
    # The properties are one flat list of names and values, so no value may hold a list (a
    # ';' would split it): the source folder reaches the tests as a compile definition.
    set(locks)
    if(ARG_LOCKS)
        set(locks RESOURCE_LOCK "${ARG_LOCKS}")
    endif()
    gtest_discover_tests(${name}
        DISCOVERY_MODE PRE_TEST
        DISCOVERY_TIMEOUT 60
        PROPERTIES LABELS "${labels}"
                   ${locks}
                   ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()
