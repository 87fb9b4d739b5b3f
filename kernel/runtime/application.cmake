# The process object (vkit_application): its start-up brings up every subsystem, so it sits on top of
# them all. Included by kernel/CMakeLists.txt after the subsystems are declared.
set(_vkit_app_dir ${CMAKE_CURRENT_LIST_DIR})
vkit_library(vkit_application
    SOURCES
        ${_vkit_app_dir}/VBundle.cpp
        ${_vkit_app_dir}/VProcess.cpp
        ${_vkit_app_dir}/VProcessIPC.cpp
        ${_vkit_app_dir}/VSpinLockSettingsFile.cpp
        ${_vkit_app_dir}/../platform/posix/application/XPosixBundle.cpp
        ${_vkit_app_dir}/../platform/posix/application/XPosixPlistReader.cpp
        ${_vkit_app_dir}/../platform/posix/application/XPosixProcessIPC.cpp
    DEPENDS
        vkit_posix_shared
        vkit_cmdline
        vkit_errors
        vkit_files
        vkit_json
        vkit_logging
        vkit_runtime
        vkit_text
        PkgConfig::EXPAT
)
unset(_vkit_app_dir)
