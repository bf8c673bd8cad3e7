# End-to-end tests of the quarn-pkg binary: each test writes its packages with the library
# into a scratch folder, runs the built tool on them and checks status, stdout and stderr.
# Included from tests/CMakeLists.txt.
if(NOT TARGET quarn-pkg)
  return()
endif()

find_package(nlohmann_json 3.10 CONFIG REQUIRED)
file(GLOB QUARN_PKG_CLI_TESTS CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*_test.cpp)
add_executable(quarn_pkg_cli_tests ${QUARN_PKG_CLI_TESTS})
target_include_directories(quarn_pkg_cli_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}
                           ${PROJECT_SOURCE_DIR}/tests)
target_compile_definitions(quarn_pkg_cli_tests PRIVATE
                           QUARN_PKG_BINARY="$<TARGET_FILE:quarn-pkg>"
                           QUARN_PKG_TEST_VERSION="${PROJECT_VERSION}")
target_link_libraries(quarn_pkg_cli_tests PRIVATE quarn_package quarn_package_warnings
                      nlohmann_json::nlohmann_json GTest::gtest_main)
add_dependencies(quarn_pkg_cli_tests quarn-pkg)
gtest_discover_tests(quarn_pkg_cli_tests TEST_PREFIX cli. DISCOVERY_TIMEOUT 60
                     PROPERTIES LABELS cli)
