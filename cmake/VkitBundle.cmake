# The updater's bundle: where each piece of it is built and where it is installed. Every program, module
# and manual page of the bundle goes through these helpers, so that `make install` and the Debian package
# (cmake/VkitPackage.cmake) hold whatever the bundle holds, stripped.
include(GNUInstallDirs)

# Folders the installation creates get these rights whatever the umask of the one who installs.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(VKIT_UPDATER_BUNDLE ${PROJECT_BINARY_DIR}/Updater.app CACHE INTERNAL "The updater's bundle in the build")
# The bundle is a program that applications run, not one users type: it goes to libexec/zq/.
set(VKIT_UPDATER_INSTALL_DIR ${CMAKE_INSTALL_LIBEXECDIR}/zq/Updater.app)

# Everything the bundle and its installation hold: `make demo` and `make install` build only this.
add_custom_target(updater_bundle)

# vkit_bundle_target(<target> [FOLDER <folder under Contents>])
# Builds a program or a loadable module (add_library(... MODULE ...)) into the bundle, in
# Contents/MacOS unless FOLDER says otherwise, and installs it at the same place, so that the package
# lists it and dpkg-shlibdeps reads its library dependencies.
function(vkit_bundle_target target)
    cmake_parse_arguments(ARG "" "FOLDER" "" ${ARGN})
    if(NOT ARG_FOLDER)
        set(ARG_FOLDER MacOS)
    endif()
    # The generator expression keeps multi-configuration generators from adding a folder per configuration.
    set_target_properties(${target} PROPERTIES
        RUNTIME_OUTPUT_DIRECTORY ${VKIT_UPDATER_BUNDLE}/Contents/${ARG_FOLDER}$<0:>
        LIBRARY_OUTPUT_DIRECTORY ${VKIT_UPDATER_BUNDLE}/Contents/${ARG_FOLDER}$<0:>)
    install(TARGETS ${target}
        RUNTIME DESTINATION ${VKIT_UPDATER_INSTALL_DIR}/Contents/${ARG_FOLDER}
        LIBRARY DESTINATION ${VKIT_UPDATER_INSTALL_DIR}/Contents/${ARG_FOLDER})
    add_dependencies(updater_bundle ${target})
endfunction()

# vkit_manual_page(<page> [DEPENDS <targets...>])
# Compresses a manual page (a source file, or the output of a custom command of the calling folder)
# with `gzip -9n`, as Debian wants it, and installs it in the section its extension names.
function(vkit_manual_page page)
    cmake_parse_arguments(ARG "" "" "DEPENDS" ${ARGN})
    get_filename_component(name ${page} NAME)
    if(NOT name MATCHES "\\.([1-9])$")
        message(FATAL_ERROR "vkit_manual_page: ${page} has no section number as its extension")
    endif()
    set(section ${CMAKE_MATCH_1})
    set(compressed ${PROJECT_BINARY_DIR}/man/${name}.gz)
    add_custom_command(OUTPUT ${compressed}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
        COMMAND gzip -9n -c ${page} > ${compressed}
        DEPENDS ${page} ${ARG_DEPENDS}
        COMMENT "Compressing the manual page ${name}")
    add_custom_target(manpage_${name} ALL DEPENDS ${compressed})
    add_dependencies(updater_bundle manpage_${name})
    install(FILES ${compressed} DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section})
endfunction()
