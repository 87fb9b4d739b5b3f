# The Debian package of the updater (`make package`): CPack's DEB generator over the project's install
# rules, so that it holds whatever they lay down (the bundle's programs and modules stripped), with the
# library dependencies that dpkg-shlibdeps finds in every ELF file of it. The changelog, the copyright
# file and lintian's overrides come from packaging/debian/; the changelog's latest entry gives the
# package's revision and maintainer, and must name the project's version.
set(_debian ${PROJECT_SOURCE_DIR}/packaging/debian)
set(VKIT_PACKAGE_NAME zq-updater)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${_debian}/changelog)

file(STRINGS ${_debian}/changelog _entry_lines REGEX "^${VKIT_PACKAGE_NAME} \\(")
file(STRINGS ${_debian}/changelog _trailer_lines REGEX "^ -- ")
list(GET _entry_lines 0 _latest)
list(GET _trailer_lines 0 _trailer)
if(NOT _latest MATCHES "^${VKIT_PACKAGE_NAME} \\(([^)-]+)-([^)-]+)\\)")
    message(FATAL_ERROR "${_debian}/changelog: the latest entry, '${_latest}', has no version "
        "<upstream>-<revision>")
endif()
if(NOT CMAKE_MATCH_1 VERSION_EQUAL PROJECT_VERSION)
    message(FATAL_ERROR "${_debian}/changelog: the latest entry is for ${CMAKE_MATCH_1}, the project is "
        "${PROJECT_VERSION}: add an entry for the new version")
endif()
set(CPACK_DEBIAN_PACKAGE_RELEASE ${CMAKE_MATCH_2})
if(NOT _trailer MATCHES "^ -- (.+ <[^>]+>)  ")
    message(FATAL_ERROR "${_debian}/changelog: '${_trailer}' is not a ' -- name <address>  date' line")
endif()
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${CMAKE_MATCH_1})

# Debian wants both in /usr/share/doc/<package>/, the changelog compressed without name nor time stamp.
set(_doc ${CMAKE_INSTALL_DATAROOTDIR}/doc/${VKIT_PACKAGE_NAME})
execute_process(COMMAND gzip -9n -c ${_debian}/changelog
    OUTPUT_FILE ${PROJECT_BINARY_DIR}/changelog.Debian.gz RESULT_VARIABLE _gzip_status)
if(NOT _gzip_status EQUAL 0)
    message(FATAL_ERROR "gzip -9n ${_debian}/changelog: ${_gzip_status}")
endif()
# They go in the package only, not in `make install`: the component "debian" is installed only when named.
install(FILES ${PROJECT_BINARY_DIR}/changelog.Debian.gz ${_debian}/copyright DESTINATION ${_doc}
    COMPONENT debian EXCLUDE_FROM_ALL)
# Each override of lintian's findings says why in a comment of the file.
install(FILES ${_debian}/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides
    RENAME ${VKIT_PACKAGE_NAME} COMPONENT debian EXCLUDE_FROM_ALL)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${VKIT_PACKAGE_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "replaces a ZQ application by its newer version and restarts it")
set(CPACK_PACKAGE_DESCRIPTION [[
The updater of the ZQ database applications. An application that has
downloaded a newer copy of itself starts the updater and quits; the updater
waits for it to end, sets the outdated bundle aside, copies the new one into
its place (rolling back when the copy fails), restarts the application and
moves the outdated bundle to the trash, logging every step.

The updater is installed as a bundle in /usr/libexec/zq/Updater.app, which
applications run; it is not a command for the shell. The bundle also holds
zq-sign, with which an application's maker signs each release.]])
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The failure alert uses zenity or kdialog in a graphical session, and the log opens with xdg-open; the
# updater does without them.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "zenity | kdialog, xdg-utils")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_STRIP_FILES ON)
# Everything `make install` lays down, and the Debian files.
set(CPACK_INSTALL_CMAKE_PROJECTS "${PROJECT_BINARY_DIR};${PROJECT_NAME};ALL;/"
    "${PROJECT_BINARY_DIR};${PROJECT_NAME};debian;/")
include(CPack)
