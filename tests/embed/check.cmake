# SPDX-License-Identifier: MIT
# cmake -DSOURCE=... -DWORK=... -DCXX=... -P check.cmake: configures the
# parent project in embed/ with GoogleTest hidden, builds it, runs its
# program on the sample and installs it into an empty prefix, which must
# stay empty.
file(REMOVE_RECURSE ${WORK})
include(${CMAKE_CURRENT_LIST_DIR}/run.cmake)
file(MAKE_DIRECTORY ${WORK})
run(${CMAKE_COMMAND} -S ${CMAKE_CURRENT_LIST_DIR} -B build -DZELREPORT_SOURCE=${SOURCE} -DCMAKE_CXX_COMPILER=${CXX}
    -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON -DCMAKE_BUILD_TYPE=Debug)
run(${CMAKE_COMMAND} --build build --target help)
foreach(target zelreport_lib zelreport parent_program)
  if(NOT out MATCHES "\\.\\.\\. ${target}\n")
    message(FATAL_ERROR "the parent project has no target ${target}")
  endif()
endforeach()
foreach(target api_test golden_document records_csv zelbench zelgen conversion_replay)
  if(out MATCHES "\\.\\.\\. ${target}\n")
    message(FATAL_ERROR "the parent project builds zelreport's ${target}, which it did not ask for")
  endif()
endforeach()
run(${CMAKE_COMMAND} --build build --target parent_program -j 2)
run(sh -c "build/parent_program < ${SOURCE}/examples/sample.xml")
if(NOT out STREQUAL "2\n")
  message(FATAL_ERROR "the parent program counted '${out}' records in the sample, not 2")
endif()
run(${CMAKE_COMMAND} --install build --prefix ${WORK}/prefix)
file(GLOB_RECURSE installed ${WORK}/prefix/*)
if(installed)
  message(FATAL_ERROR "installing the parent project installed zelreport's files: ${installed}")
endif()
