# SPDX-License-Identifier: MIT
# cmake -DSOURCE=... -DWORK=... -DCXX=... -P without_expat.cmake: the
# quick start on a machine without expat. Configures this project with
# expat hidden, which must say once why zelcheck and zelfmt are left out,
# builds and runs zelreport on the sample, and installs it without them.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
include(${CMAKE_CURRENT_LIST_DIR}/run.cmake)
run(${CMAKE_COMMAND} -S ${SOURCE} -B build -DCMAKE_CXX_COMPILER=${CXX} -DCMAKE_BUILD_TYPE=Debug
    -DCMAKE_DISABLE_FIND_PACKAGE_EXPAT=ON)
string(REGEX MATCHALL "zelcheck and zelfmt are not built: expat was not found" notices "${out}")
list(LENGTH notices count)
if(NOT count EQUAL 1)
  message(FATAL_ERROR "the configure said ${count} times that the companions are left out:\n${out}")
endif()
run(${CMAKE_COMMAND} --build build --target zelreport -j 2)
run(sh -c "build/zelreport < ${SOURCE}/examples/sample.xml 2>&1")
file(READ ${SOURCE}/examples/sample.err expected)
if(NOT out STREQUAL expected)
  message(FATAL_ERROR "zelreport built without expat reported:\n${out}")
endif()
run(${CMAKE_COMMAND} --install build --prefix ${WORK}/prefix --component zelreport)
if(NOT EXISTS ${WORK}/prefix/bin/zelreport OR EXISTS ${WORK}/prefix/bin/zelcheck)
  message(FATAL_ERROR "the install without expat is not zelreport alone")
endif()
