# Installs a build tree into WORK_DIR/prefix, then uses it from outside: the consumer
# project through find_package, and main.cpp through pkg-config when pkg-config exists.
# Run with cmake -P; the variables come from consumer_test.cmake.
cmake_minimum_required(VERSION 3.25)

set(prefix ${WORK_DIR}/prefix)
set(consumer_build ${WORK_DIR}/build)

function(run what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE code OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT code EQUAL 0)
    message(FATAL_ERROR "${what} failed (${code}):\n${out}\n${err}")
  endif()
  set(run_output "${out}" PARENT_SCOPE)
endfunction()

function(expect_output what text)
  if(NOT run_output MATCHES "${text}")
    message(FATAL_ERROR "${what} printed:\n${run_output}\nexpected: ${text}")
  endif()
endfunction()

# Sanitizer builds need the same flags wherever the library is linked.
separate_arguments(cxx_flags UNIX_COMMAND "${CXX_FLAGS}")
separate_arguments(linker_flags UNIX_COMMAND "${LINKER_FLAGS}")

file(REMOVE_RECURSE ${WORK_DIR})
run("install" ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})

# Every public header and schema file of the source tree is installed.
file(GLOB headers RELATIVE ${PROJECT_SOURCE}/include ${PROJECT_SOURCE}/include/quarn_package/*.hpp)
file(GLOB schemas RELATIVE ${PROJECT_SOURCE}/schema ${PROJECT_SOURCE}/schema/*.capnp)
foreach(file IN LISTS headers)
  if(NOT EXISTS ${prefix}/include/${file})
    message(FATAL_ERROR "header ${file} is not installed")
  endif()
endforeach()
foreach(file IN LISTS schemas)
  if(NOT EXISTS ${prefix}/share/quarn_package/schema/${file})
    message(FATAL_ERROR "schema ${file} is not installed")
  endif()
endforeach()

# Build-only helpers must not reach the exported target.
file(GLOB export_files ${prefix}/${LIBDIR}/cmake/quarn_package/quarn_packageTargets*.cmake)
foreach(file IN LISTS export_files)
  file(READ ${file} text)
  if(text MATCHES "quarn_package_warnings|-Werror")
    message(FATAL_ERROR "${file} exports build-only settings")
  endif()
endforeach()

run("configure consumer" ${CMAKE_COMMAND} -S ${CONSUMER_SOURCE} -B ${consumer_build}
    -G ${GENERATOR} -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_CXX_COMPILER=${CXX}
    -DCMAKE_BUILD_TYPE=${BUILD_TYPE} "-DCMAKE_CXX_FLAGS=${CXX_FLAGS}"
    "-DCMAKE_EXE_LINKER_FLAGS=${LINKER_FLAGS}")
# The package must come from the scratch prefix, not from an earlier install elsewhere.
file(STRINGS ${consumer_build}/CMakeCache.txt found REGEX "^quarn_package_DIR:")
if(NOT found STREQUAL "quarn_package_DIR:PATH=${prefix}/${LIBDIR}/cmake/quarn_package")
  message(FATAL_ERROR "consumer found the package elsewhere: ${found}")
endif()
run("build consumer" ${CMAKE_COMMAND} --build ${consumer_build})
run("run consumer" ${consumer_build}/consumer)
expect_output("consumer" "consumer ok")

if(NOT PKG_CONFIG)
  message(STATUS "pkg-config not found: the .pc file is not checked")
  return()
endif()
run("pkg-config" ${CMAKE_COMMAND} -E env PKG_CONFIG_PATH=${prefix}/${LIBDIR}/pkgconfig
    ${PKG_CONFIG} --cflags --libs quarn_package)
string(STRIP "${run_output}" pc_flags)
separate_arguments(pc_flags UNIX_COMMAND "${pc_flags}")
# Warnings are errors here too: the public headers must compile cleanly when included
# as ordinary (non-system) headers.
run("compile with pkg-config flags" ${CXX} -std=c++23 -Wall -Wextra -Wpedantic -Werror
    ${cxx_flags} ${CONSUMER_SOURCE}/main.cpp ${pc_flags} ${linker_flags}
    -o ${WORK_DIR}/pc_consumer)
run("run pkg-config consumer" ${WORK_DIR}/pc_consumer)
expect_output("pkg-config consumer" "consumer ok")
