# Outside libraries, all from Debian's packages (scripts/install-deps.sh).

find_package(Threads REQUIRED)
find_package(PkgConfig REQUIRED)

pkg_check_modules(ICU REQUIRED IMPORTED_TARGET icu-uc icu-i18n)
# Xerces-C is linked only by the XML module, loaded by the first parse (kernel/localization).
pkg_check_modules(XERCES REQUIRED IMPORTED_TARGET xerces-c)
# The property lists every program reads as it starts.
pkg_check_modules(EXPAT REQUIRED IMPORTED_TARGET expat)
# GLib for the system folders; GIO is loaded by the first move to the trash, so only its headers count.
pkg_check_modules(GLIB REQUIRED IMPORTED_TARGET glib-2.0)
pkg_check_modules(GIO REQUIRED gio-2.0)
# Ed25519 signatures and content hashes of bundle manifests.
pkg_check_modules(SODIUM REQUIRED IMPORTED_TARGET libsodium)

if(VKIT_BUILD_TESTS)
    find_package(GTest REQUIRED)
    include(GoogleTest)
endif()
if(VKIT_BUILD_BENCH)
    find_package(benchmark REQUIRED)
endif()
