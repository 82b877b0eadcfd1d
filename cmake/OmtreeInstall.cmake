# Install rules: the libraries, their headers below include/omtree, and an
# exported CMake package so that find_package(omtree) gives omtree::omtree.

include(CMakePackageConfigHelpers)

install(TARGETS omtree omcell platdep qarniocv omtree_includes
  EXPORT omtreeTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

install(DIRECTORY "${PROJECT_SOURCE_DIR}/backend"
  DESTINATION ${OMTREE_INSTALL_INCLUDEDIR}
  FILES_MATCHING PATTERN "*.h")
foreach(library IN ITEMS omcell platdep qarniocv)
  install(DIRECTORY "${PROJECT_SOURCE_DIR}/platform/${library}"
    DESTINATION ${OMTREE_INSTALL_INCLUDEDIR}
    FILES_MATCHING PATTERN "*.h")
endforeach()

install(EXPORT omtreeTargets
  NAMESPACE omtree::
  DESTINATION ${OMTREE_INSTALL_CMAKEDIR})

configure_package_config_file(
  "${PROJECT_SOURCE_DIR}/cmake/omtreeConfig.cmake.in"
  "${PROJECT_BINARY_DIR}/omtreeConfig.cmake"
  INSTALL_DESTINATION ${OMTREE_INSTALL_CMAKEDIR})
write_basic_package_version_file(
  "${PROJECT_BINARY_DIR}/omtreeConfigVersion.cmake"
  COMPATIBILITY SameMajorVersion)
install(FILES
  "${PROJECT_BINARY_DIR}/omtreeConfig.cmake"
  "${PROJECT_BINARY_DIR}/omtreeConfigVersion.cmake"
  DESTINATION ${OMTREE_INSTALL_CMAKEDIR})
