# The Python package (python/), built over the tools' libraries: on by
# default when pybind11 and the Python headers are found. Debian's
# interpreter, where python3-pandas and pybind11-dev install, is preferred
# unless Python3_EXECUTABLE names another.

if(NOT DEFINED Python3_EXECUTABLE AND EXISTS /usr/bin/python3)
  set(Python3_EXECUTABLE /usr/bin/python3)
endif()
find_package(Python3 COMPONENTS Interpreter Development.Module QUIET)
if(Python3_FOUND)
  find_package(pybind11 CONFIG QUIET)
endif()
if(Python3_FOUND AND pybind11_FOUND)
  set(OMTREE_PYTHON_FOUND ON)
else()
  set(OMTREE_PYTHON_FOUND OFF)
endif()
option(OMTREE_BUILD_PYTHON "Build the Python package omtree (needs pybind11 and Python headers)"
  ${OMTREE_PYTHON_FOUND})
if(OMTREE_BUILD_PYTHON)
  if(NOT OMTREE_PYTHON_FOUND)
    message(FATAL_ERROR "OMTREE_BUILD_PYTHON needs Python 3 with its headers and pybind11")
  endif()
  add_subdirectory(python)
endif()
