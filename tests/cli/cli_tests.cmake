# End-to-end tests of the quarn-pkg binary: each test writes its packages with the library
# into a scratch folder, runs the built tool on them and checks status, stdout and stderr.
# Included from tests/CMakeLists.txt.
if(NOT TARGET quarn-pkg)
  return()
endif()

find_package(nlohmann_json 3.10 CONFIG REQUIRED)
# The timeline tests parse the SVG as XML; the browser test reads Chromium's PNG.
find_package(LibXml2 REQUIRED)
find_package(PNG REQUIRED)

file(GLOB QUARN_PKG_CLI_TESTS CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*_test.cpp)
add_executable(quarn_pkg_cli_tests ${QUARN_PKG_CLI_TESTS})
target_include_directories(quarn_pkg_cli_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}
                           ${PROJECT_SOURCE_DIR}/tests)
target_compile_definitions(quarn_pkg_cli_tests PRIVATE
                           QUARN_PKG_BINARY="$<TARGET_FILE:quarn-pkg>"
                           QUARN_PKG_TEST_VERSION="${PROJECT_VERSION}")
target_link_libraries(quarn_pkg_cli_tests PRIVATE quarn_package quarn_package_warnings
                      nlohmann_json::nlohmann_json LibXml2::LibXml2 GTest::gtest_main)
add_dependencies(quarn_pkg_cli_tests quarn-pkg)
gtest_discover_tests(quarn_pkg_cli_tests TEST_PREFIX cli. DISCOVERY_TIMEOUT 60
                     PROPERTIES LABELS cli)

# The tool's own arithmetic of profile views, tested in-process.
set(QUARN_PKG_DIR ${PROJECT_SOURCE_DIR}/tools/quarn-pkg)
file(GLOB QUARN_PKG_VIEW_TESTS CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/view/*_test.cpp)
add_executable(quarn_pkg_view_tests ${QUARN_PKG_VIEW_TESTS} ${QUARN_PKG_DIR}/profile_view.cpp
               ${QUARN_PKG_DIR}/svg.cpp ${QUARN_PKG_DIR}/numbers.cpp ${QUARN_PKG_DIR}/text.cpp)
target_include_directories(quarn_pkg_view_tests PRIVATE ${QUARN_PKG_DIR}
                           ${PROJECT_SOURCE_DIR}/tests)
target_link_libraries(quarn_pkg_view_tests PRIVATE quarn_package quarn_package_warnings
                      GTest::gtest_main)
gtest_discover_tests(quarn_pkg_view_tests TEST_PREFIX cli.view. DISCOVERY_TIMEOUT 60
                     PROPERTIES LABELS cli)

# Renders the demo's timeline in headless Chromium. Labelled `browser`: `make test` leaves
# it out and `make test-browser` installs Chromium and runs it.
file(GLOB QUARN_PKG_BROWSER_TESTS CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/browser/*_test.cpp)
add_executable(quarn_pkg_browser_tests ${QUARN_PKG_BROWSER_TESTS})
target_include_directories(quarn_pkg_browser_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}
                           ${PROJECT_SOURCE_DIR}/tests)
target_compile_definitions(quarn_pkg_browser_tests PRIVATE
                           QUARN_PKG_BINARY="$<TARGET_FILE:quarn-pkg>")
target_link_libraries(quarn_pkg_browser_tests PRIVATE quarn_package quarn_package_warnings
                      PNG::PNG GTest::gtest_main)
add_dependencies(quarn_pkg_browser_tests quarn-pkg)
gtest_discover_tests(quarn_pkg_browser_tests TEST_PREFIX browser. DISCOVERY_TIMEOUT 60
                     PROPERTIES LABELS browser)
