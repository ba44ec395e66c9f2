# GoogleTest for both builds: the system package natively, Debian's source tree
# built with the cross compiler for Windows (run under wine by the emulator).
include(GoogleTest)
if(WIN32)
  if(NOT TARGET gtest_main)
    set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  endif()
  set(QAV_GTEST_LIBS gtest gtest_main)
else()
  find_package(GTest REQUIRED)
  set(QAV_GTEST_LIBS GTest::gtest GTest::gtest_main)
endif()

# qav_add_gtest(<target> SOURCES ... [LIBS ...] [LABELS ...] [PROPERTIES ...])
# Windows test programs are console programs linked statically; discovery runs
# at test time, when the wine prefix exists. The tests are only known after
# discovery, so their properties are set from a file ctest reads afterwards.
function(qav_add_gtest target)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS;PROPERTIES" ${ARGN})
  add_executable(${target} ${T_SOURCES})
  target_link_libraries(${target} PRIVATE ${T_LIBS} ${QAV_GTEST_LIBS})
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  if(WIN32)
    target_link_options(${target} PRIVATE -static)
    set(timeout 300)
  else()
    set(timeout 60)
  endif()
  gtest_discover_tests(${target}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 120
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    TEST_LIST ${target}_TESTS)
  set(props ${CMAKE_CURRENT_BINARY_DIR}/${target}_properties.cmake)
  file(CONFIGURE OUTPUT ${props} CONTENT [=[
if(@target@_TESTS)
  set_tests_properties(${@target@_TESTS} PROPERTIES
    LABELS "@T_LABELS@" TIMEOUT @timeout@ @T_PROPERTIES@)
endif()
]=] @ONLY)
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${props})
endfunction()
