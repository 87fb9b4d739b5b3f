# Outside libraries, all from Debian's packages (scripts/install-deps.sh).

find_package(Threads REQUIRED)
find_package(PkgConfig REQUIRED)

pkg_check_modules(ICU REQUIRED IMPORTED_TARGET icu-uc icu-i18n)
pkg_check_modules(XERCES REQUIRED IMPORTED_TARGET xerces-c)
pkg_check_modules(GIO REQUIRED IMPORTED_TARGET gio-2.0 glib-2.0)
# Ed25519 signatures and content hashes of bundle manifests.
pkg_check_modules(SODIUM REQUIRED IMPORTED_TARGET libsodium)

if(VKIT_BUILD_TESTS)
    find_package(GTest REQUIRED)
    include(GoogleTest)
endif()
if(VKIT_BUILD_BENCH)
    find_package(benchmark REQUIRED)
endif()
