# Helpers that declare the project's libraries, tests and benchmarks in one shape.

# vkit_library(<name> SOURCES <files...> DEPENDS <targets...>)
# A static library of one kernel subsystem; DEPENDS is its place in the dependency graph.
function(vkit_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/kernel ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${ARG_DEPENDS})
endfunction()

# vkit_finds_modules(<target>): a program outside a bundle (a test, a benchmark, a fuzz target) finds
# the library's modules (the XML module) along its run path, in the folder where the build puts them.
# The path is written as DT_RPATH, not RUNPATH: under the sanitizers, dlopen is called from their
# runtime library, and the dynamic loader searches the program's DT_RPATH for a library loaded by
# another library, never its RUNPATH.
function(vkit_finds_modules name)
    set_property(TARGET ${name} APPEND PROPERTY BUILD_RPATH $<TARGET_FILE_DIR:vkit_xml_module>)
    target_link_options(${name} PRIVATE LINKER:--disable-new-dtags)
endfunction()

# vkit_test(<name> SOURCES <files...> DEPENDS <targets...> [SLOW])
# A GoogleTest program whose cases are registered one by one with ctest.
# SLOW marks every case with the label "slow" (tests that wait on fixed delays).
function(vkit_test name)
    cmake_parse_arguments(ARG "SLOW" "" "SOURCES;DEPENDS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
    target_link_libraries(${name} PRIVATE ${ARG_DEPENDS} vkit_testsupport GTest::gmock)
    vkit_finds_modules(${name})
    set(labels unit)
    set(timeout 600)
    if(ARG_SLOW)
        # The kill tests run hundreds of traced updates: minutes in a plain build, more under a sanitizer.
        set(labels slow)
        set(timeout 1800)
    endif()
    gtest_discover_tests(${name}
        DISCOVERY_TIMEOUT 60
        PROPERTIES LABELS "${labels}" TIMEOUT ${timeout}
        ENVIRONMENT "VKIT_TEST_BINARY_DIR=${PROJECT_BINARY_DIR}")
endfunction()

# vkit_bench(<name> SOURCES <files...> DEPENDS <targets...>)
function(vkit_bench name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_DEPENDS} benchmark::benchmark)
    vkit_finds_modules(${name})
    set_property(GLOBAL APPEND PROPERTY VKIT_BENCHES ${name})
endfunction()
