# SPDX-License-Identifier: MIT
# Run by CPack on the staged files before the packages are made: compresses
# every man page and changelog with gzip -9n (no name, no time stamp), as
# Debian requires, whichever install rule put it there.
file(GLOB_RECURSE staged LIST_DIRECTORIES false "${CPACK_TEMPORARY_DIRECTORY}/*")
foreach(file IN LISTS staged)
  if(file MATCHES "/share/man/man[1-9]/[^/]+\\.[1-9]$" OR file MATCHES "/share/doc/[^/]+/changelog$")
    execute_process(COMMAND gzip -9nf ${file} RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
      message(FATAL_ERROR "gzip ${file}: ${status}")
    endif()
  endif()
endforeach()
