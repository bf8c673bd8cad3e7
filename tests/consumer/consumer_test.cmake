# Registers the install test: the build tree is installed into a scratch prefix and the
# outside project in this folder is built against it. Included from tests/CMakeLists.txt.
if(NOT QUARN_PACKAGE_INSTALL)
  return()
endif()

find_program(QUARN_PACKAGE_PKG_CONFIG pkg-config)
add_test(NAME install.consumer
  COMMAND ${CMAKE_COMMAND}
    -DBUILD_DIR=${PROJECT_BINARY_DIR}
    -DPROJECT_SOURCE=${PROJECT_SOURCE_DIR}
    -DCONSUMER_SOURCE=${CMAKE_CURRENT_LIST_DIR}
    -DWORK_DIR=${CMAKE_CURRENT_BINARY_DIR}/consumer
    -DLIBDIR=${CMAKE_INSTALL_LIBDIR}
    -DGENERATOR=${CMAKE_GENERATOR}
    -DCXX=${CMAKE_CXX_COMPILER}
    -DCXX_FLAGS=${CMAKE_CXX_FLAGS}
    -DLINKER_FLAGS=${CMAKE_EXE_LINKER_FLAGS}
    -DBUILD_TYPE=${CMAKE_BUILD_TYPE}
    -DPKG_CONFIG=${QUARN_PACKAGE_PKG_CONFIG}
    -P ${CMAKE_CURRENT_LIST_DIR}/check_install.cmake)
set_tests_properties(install.consumer PROPERTIES LABELS install TIMEOUT 600)
