# SPDX-License-Identifier: MIT
# Install rules, CMake and pkg-config packages, man page and the Debian
# package (included when ZELREPORT_INSTALL is on).
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(ZELREPORT_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/zelreport)

install(TARGETS zelreport RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS zelreport_lib EXPORT zelreportTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
        INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/zelreport ${ZELREPORT_GENERATED_INCLUDE}/zelreport
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(EXPORT zelreportTargets NAMESPACE zelreport:: DESTINATION ${ZELREPORT_CMAKE_DIR})

configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/zelreportConfig.cmake.in
                              ${PROJECT_BINARY_DIR}/zelreportConfig.cmake
                              INSTALL_DESTINATION ${ZELREPORT_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/zelreportConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/zelreportConfig.cmake ${PROJECT_BINARY_DIR}/zelreportConfigVersion.cmake
        DESTINATION ${ZELREPORT_CMAKE_DIR})

# pkg-config finds the prefix from the .pc file's own place.
file(RELATIVE_PATH ZELREPORT_PC_TO_PREFIX /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
string(REGEX REPLACE "/$" "" ZELREPORT_PC_TO_PREFIX "${ZELREPORT_PC_TO_PREFIX}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/zelreport.pc.in ${PROJECT_BINARY_DIR}/zelreport.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/zelreport.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

install(FILES ${PROJECT_SOURCE_DIR}/zelreport.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_PACKAGE_NAME zelreport)
set(CPACK_PACKAGE_VENDOR "zelreport developers")
set(CPACK_PACKAGE_CONTACT "zelreport developers <zelreport@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "report the arguments of every record of a record document")
set(CPACK_PACKAGE_DESCRIPTION
    "zelreport reads a line-oriented record document on standard input and writes,
for every record, a report of its arguments and data statistics to standard
error. The package also holds the C++20 static library, its headers, and its
CMake and pkg-config files.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
find_program(ZELREPORT_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(ZELREPORT_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libstdc++6")
endif()
include(CPack)
