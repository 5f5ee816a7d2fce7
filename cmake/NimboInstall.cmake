# Install rules and the CMake package. A host calls find_package(Nimbo) and
# links Nimbo::NimboHighLevelWrapper (the shared library: the six C exports,
# header NimboHighLevelWrapper.h) or Nimbo::nimbo_library (the static
# library: the C++ API object, header NimboApi.h).
#
# The headers are the library's own, installed under include/Nimbo with the
# relative paths they include each other by; on the simulated platform the
# platform layer's declarations (and its shared library) come along, as they
# stand in for the Windows SDK and system DLLs there.
include(CMakePackageConfigHelpers)

set(NIMBO_INSTALL_INCLUDEDIR include/Nimbo)
set(NIMBO_INSTALL_CMAKEDIR lib/cmake/Nimbo)

install(TARGETS NimboHighLevelWrapper nimbo_library nimbo_platform EXPORT NimboTargets
    RUNTIME DESTINATION bin
    LIBRARY DESTINATION lib
    ARCHIVE DESTINATION lib)

install(FILES include/NimboHighLevelWrapper.h include/NimboApi.h DESTINATION ${NIMBO_INSTALL_INCLUDEDIR})
install(FILES library/api/INimboApi.h DESTINATION ${NIMBO_INSTALL_INCLUDEDIR}/api)
install(FILES library/interface/INimboApiDisplayMonitorInstance.h library/interface/NimboMonitorRecords.h
    DESTINATION ${NIMBO_INSTALL_INCLUDEDIR}/interface)
install(FILES library/driver/ALHookSharedRecords.h DESTINATION ${NIMBO_INSTALL_INCLUDEDIR}/driver)
install(FILES platform/win32.h platform/seh.h DESTINATION ${NIMBO_INSTALL_INCLUDEDIR}/platform)
if(NOT NIMBO_WINDOWS)
    # What platform/win32.h includes on the simulated platform.
    install(FILES
        platform/posix/win32_base.h platform/posix/win32_kernel.h platform/posix/win32_registry.h
        platform/posix/win32_security.h platform/posix/win32_debug.h platform/posix/win32_device.h
        DESTINATION ${NIMBO_INSTALL_INCLUDEDIR}/platform/posix)
endif()

install(EXPORT NimboTargets NAMESPACE Nimbo:: DESTINATION ${NIMBO_INSTALL_CMAKEDIR})
if(NIMBO_WINDOWS)
    set(NIMBO_PACKAGE_NEEDS_THREADS OFF)
else()
    set(NIMBO_PACKAGE_NEEDS_THREADS ON)
endif()
configure_package_config_file(cmake/NimboConfig.cmake.in ${CMAKE_CURRENT_BINARY_DIR}/NimboConfig.cmake
    INSTALL_DESTINATION ${NIMBO_INSTALL_CMAKEDIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/NimboConfigVersion.cmake
    COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/NimboConfig.cmake ${CMAKE_CURRENT_BINARY_DIR}/NimboConfigVersion.cmake
    DESTINATION ${NIMBO_INSTALL_CMAKEDIR})
