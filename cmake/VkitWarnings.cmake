# Compiler flags shared by every target: every warning on, sanitizers on request.
#
# VKIT_WERROR makes warnings errors. The project's own builds turn it on (`make test`, the sanitizer
# builds, the benchmark build and CI), so that no warning lands; a build for installation keeps it off,
# so that a newer compiler's new warning does not stop it.
option(VKIT_WERROR "Treat warnings as errors" OFF)

add_compile_options(-Wall -Wextra -Wpedantic -Wno-unused-parameter)
if(VKIT_WERROR)
    add_compile_options(-Werror)
endif()
# GCC 12 reports overlapping copies inside std::string's own concatenation when it inlines it at -O3
# (GCC bug 105651, fixed in GCC 13): a false positive on correct code, which would stop Release builds.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    add_compile_options(-Wno-restrict)
endif()

if(VKIT_SANITIZE)
    add_compile_options(-fsanitize=${VKIT_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
    add_link_options(-fsanitize=${VKIT_SANITIZE})
endif()
