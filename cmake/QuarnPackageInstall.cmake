# Install rules: headers, the static library, the schema files, a CMake package config
# and a pkg-config file. Included from the top-level CMakeLists.txt.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(QUARN_PACKAGE_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/quarn_package)

# The target's include path comes from its INSTALL_INTERFACE.
install(TARGETS quarn_package EXPORT quarn_packageTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/quarn_package
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
  FILES_MATCHING PATTERN "*.hpp")
# Matched when installing, not when configuring, so a schema file added later needs no
# fresh configure.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/schema/
  DESTINATION ${CMAKE_INSTALL_DATADIR}/quarn_package/schema
  FILES_MATCHING PATTERN "*.capnp")

install(EXPORT quarn_packageTargets
  NAMESPACE quarn_package::
  DESTINATION ${QUARN_PACKAGE_CMAKE_DIR})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/quarn_packageConfig.cmake.in
  ${PROJECT_BINARY_DIR}/quarn_packageConfig.cmake
  INSTALL_DESTINATION ${QUARN_PACKAGE_CMAKE_DIR})
# Before 1.0 a new minor version may change the interface.
write_basic_package_version_file(${PROJECT_BINARY_DIR}/quarn_packageConfigVersion.cmake
  VERSION ${PROJECT_VERSION}
  COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/quarn_packageConfig.cmake
  ${PROJECT_BINARY_DIR}/quarn_packageConfigVersion.cmake
  DESTINATION ${QUARN_PACKAGE_CMAKE_DIR})

# The .pc file finds its prefix from its own place (pkg-config's ${pcfiledir}), so it stays
# right when the install prefix is chosen only at `cmake --install --prefix` time.
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
  set(QUARN_PACKAGE_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
else()
  file(RELATIVE_PATH QUARN_PACKAGE_PC_UP /root/${CMAKE_INSTALL_LIBDIR}/pkgconfig /root)
  string(REGEX REPLACE "/$" "" QUARN_PACKAGE_PC_UP "${QUARN_PACKAGE_PC_UP}")
  set(QUARN_PACKAGE_PC_PREFIX "\${pcfiledir}/${QUARN_PACKAGE_PC_UP}")
endif()
configure_file(${CMAKE_CURRENT_LIST_DIR}/quarn_package.pc.in
  ${PROJECT_BINARY_DIR}/quarn_package.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/quarn_package.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
