# SPDX-License-Identifier: MIT
# Install rules, CMake and pkg-config packages, man pages, and the Debian
# packages (included when ZELREPORT_INSTALL is on): zelreport (the
# programs, their man pages and documentation), libzelreport-dev
# (headers, static library, CMake and pkg-config files) and, when the
# Python package is built, python3-zelreport (its install rule is in
# python/). Any install rule with COMPONENT zelreport, or with no
# component, goes into the zelreport package.

# The packages install under /usr, where GNUInstallDirs gives the multiarch
# library directory (lib/x86_64-linux-gnu). A local install chooses its own
# prefix at install time (make install PREFIX=...).
if(CMAKE_INSTALL_PREFIX_INITIALIZED_TO_DEFAULT)
  set(CMAKE_INSTALL_PREFIX /usr CACHE PATH "Install prefix" FORCE)
endif()
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(ZELREPORT_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/zelreport)
set(ZELREPORT_DEV libzelreport-dev)
set(ZELREPORT_PACKAGES zelreport ${ZELREPORT_DEV})
if(ZELREPORT_PYTHON_PACKAGED)
  list(APPEND ZELREPORT_PACKAGES python3-zelreport)
endif()

install(TARGETS zelreport RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT zelreport)
install(FILES ${PROJECT_SOURCE_DIR}/zelreport.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT zelreport)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT zelreport)

install(TARGETS zelreport_lib EXPORT zelreportTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT ${ZELREPORT_DEV}
        INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/zelreport ${ZELREPORT_GENERATED_INCLUDE}/zelreport
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT ${ZELREPORT_DEV})
install(EXPORT zelreportTargets NAMESPACE zelreport:: DESTINATION ${ZELREPORT_CMAKE_DIR}
        COMPONENT ${ZELREPORT_DEV})

configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/zelreportConfig.cmake.in
                              ${PROJECT_BINARY_DIR}/zelreportConfig.cmake
                              INSTALL_DESTINATION ${ZELREPORT_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/zelreportConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/zelreportConfig.cmake ${PROJECT_BINARY_DIR}/zelreportConfigVersion.cmake
        DESTINATION ${ZELREPORT_CMAKE_DIR} COMPONENT ${ZELREPORT_DEV})

# pkg-config files: zelreport for C++, zelreport-c for the C interface.
# They are written at install time and name the prefix installed to (/usr
# in the packages), as cross builds expect: a sysroot is prepended once.
set(ZELREPORT_PC_PREFIX "@ZELREPORT_PC_PREFIX@")  # left for the install step
foreach(pc IN ITEMS zelreport zelreport-c)
  set(pc_in ${PROJECT_BINARY_DIR}/pkgconfig/${pc}.pc.in)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/${pc}.pc.in ${pc_in} @ONLY)
  install(CODE "get_filename_component(ZELREPORT_PC_PREFIX \"\${CMAKE_INSTALL_PREFIX}\" ABSOLUTE)
    configure_file(\"${pc_in}\" \"${PROJECT_BINARY_DIR}/pkgconfig/${pc}.pc\" @ONLY)
    file(INSTALL DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/pkgconfig\" TYPE FILE
         FILES \"${PROJECT_BINARY_DIR}/pkgconfig/${pc}.pc\")" COMPONENT ${ZELREPORT_DEV})
endforeach()

# Debian's copyright file and changelog in each package's documentation
# directory; packages only, not local installs.
foreach(package IN LISTS ZELREPORT_PACKAGES)
  install(FILES ${CMAKE_CURRENT_LIST_DIR}/debian/copyright ${CMAKE_CURRENT_LIST_DIR}/debian/changelog
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package} COMPONENT ${package} EXCLUDE_FROM_ALL)
endforeach()

set(CPACK_PACKAGE_NAME zelreport)
set(CPACK_PACKAGE_VENDOR "The zelreport authors")
set(CPACK_PACKAGE_CONTACT "The zelreport authors <zelreport@users.noreply.github.com>")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Install into a staging DESTDIR under the real prefix, so that the
# pkg-config files name /usr.
set(CPACK_SET_DESTDIR ON)
set(CPACK_STRIP_FILES ON)
# Man pages and changelogs compressed as Debian wants them.
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/deb_compress.cmake)

set(CPACK_DEBIAN_ZELREPORT_PACKAGE_NAME zelreport)
set(CPACK_DEBIAN_ZELREPORT_PACKAGE_SECTION science)
set(CPACK_DEBIAN_ZELREPORT_DESCRIPTION
    "report the arguments of every record of a record document
zelreport reads a line-oriented record document on standard input and
writes, for every record, a report of its arguments and data statistics
to standard error.")
find_program(ZELREPORT_DPKG_SHLIBDEPS dpkg-shlibdeps)
find_program(ZELREPORT_FILE file)
if(ZELREPORT_DPKG_SHLIBDEPS AND ZELREPORT_FILE)
  set(CPACK_DEBIAN_ZELREPORT_PACKAGE_SHLIBDEPS ON)
else()
  set(CPACK_DEBIAN_ZELREPORT_PACKAGE_DEPENDS "libc6, libgcc-s1, libstdc++6")
endif()

set(CPACK_DEBIAN_LIBZELREPORT-DEV_PACKAGE_NAME ${ZELREPORT_DEV})
set(CPACK_DEBIAN_LIBZELREPORT-DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_LIBZELREPORT-DEV_DESCRIPTION
    "record document reader library for C++20 and C (static)
The reader behind zelreport as a static library built with
position-independent code, with its C++20 header, a C interface, a CMake
package (find_package(zelreport)) and pkg-config files (zelreport,
zelreport-c).")

if(ZELREPORT_PYTHON_PACKAGED)
  # The compiled module is built for one Python version.
  set(python_version ${ZELREPORT_PYTHON_VERSION_MAJOR}.${ZELREPORT_PYTHON_VERSION_MINOR})
  math(EXPR python_next "${ZELREPORT_PYTHON_VERSION_MINOR} + 1")
  set(CPACK_DEBIAN_PYTHON3-ZELREPORT_PACKAGE_NAME python3-zelreport)
  set(CPACK_DEBIAN_PYTHON3-ZELREPORT_PACKAGE_SECTION python)
  set(CPACK_DEBIAN_PYTHON3-ZELREPORT_PACKAGE_DEPENDS
      "python3 (>= ${python_version}), python3 (<< ${ZELREPORT_PYTHON_VERSION_MAJOR}.${python_next}), python3-numpy")
  set(CPACK_DEBIAN_PYTHON3-ZELREPORT_PACKAGE_RECOMMENDS python3-matplotlib)
  set(CPACK_DEBIAN_PYTHON3-ZELREPORT_PACKAGE_SUGGESTS
      "python3-xarray, python3-pandas, python3-netcdf4, python3-dask, python3-distributed")
  if(ZELREPORT_DPKG_SHLIBDEPS AND ZELREPORT_FILE)
    set(CPACK_DEBIAN_PYTHON3-ZELREPORT_PACKAGE_SHLIBDEPS ON)
  else()
    string(APPEND CPACK_DEBIAN_PYTHON3-ZELREPORT_PACKAGE_DEPENDS ", libc6, libgcc-s1, libstdc++6")
  endif()
  set(CPACK_DEBIAN_PYTHON3-ZELREPORT_DESCRIPTION
      "record document reader for Python 3, with NumPy arrays
The reader behind zelreport as the Python package zelreport: the records
of a document as objects with NumPy arrays of their values, streaming,
with exactly the statistics and report text zelreport gives; an xarray
engine (xr.open_dataset(path, engine=\"zelreport\")) that opens a document
as lazy Datasets, for Dask too; records as a pandas DataFrame; and a
command line that tabulates the records, draws a record's field, writes
a page of them all and converts a document to NetCDF.")
endif()
include(CPack)
