# jex_library(NAME DIR [LIBS ...] [PRIVATE_LIBS ...]): one static library from every source file
# of a folder (not its sub-folders). New files in the folder are picked up without editing CMake.
# LIBS are what the folder's headers expose to its users; PRIVATE_LIBS only its sources use
# (a static library still passes them on to the final link, but not their headers or flags).
# A folder without sources yet gives an interface library, so that users can link it already.
function(jex_library name dir)
  cmake_parse_arguments(ARG "" "" "LIBS;PRIVATE_LIBS" ${ARGN})
  file(GLOB _src CONFIGURE_DEPENDS ${dir}/*.cpp)
  file(GLOB _hdr CONFIGURE_DEPENDS ${dir}/*.h)
  if(_src)
    add_library(${name} STATIC ${_src} ${_hdr})
    target_link_libraries(${name} PUBLIC jex_settings ${ARG_LIBS})
    if(ARG_PRIVATE_LIBS)
      target_link_libraries(${name} PRIVATE ${ARG_PRIVATE_LIBS})
    endif()
    target_precompile_headers(${name} REUSE_FROM jex_pch)
  else()
    add_library(${name} INTERFACE)
    target_link_libraries(${name} INTERFACE jex_settings ${ARG_LIBS} ${ARG_PRIVATE_LIBS})
  endif()
endfunction()

# jex_test(PATH [LIBS ...]): one GoogleTest executable from tests/PATH/*.cpp (PATH mirrors the
# folder of src/ or corvane/ under test, e.g. dialogs/speech); NAME is its last part. Every test is
# a CTest entry of its own ("NAME.Suite.Test", labelled NAME), so that a skipped test shows as
# skipped. The tests are listed when ctest runs (PRE_TEST), not while building.
include(GoogleTest)
# SERIAL: the area's tests run alone, none beside them (a whole desktop with its own speech
# would otherwise take the time that other tests' 3 s calls between processes need).
function(jex_test path)
  cmake_parse_arguments(ARG "SERIAL" "" "LIBS" ${ARGN})
  get_filename_component(name ${path} NAME)
  file(GLOB _src CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${path}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/${path}/*.h)
  if(NOT _src)
    return()
  endif()
  add_executable(test_${name} ${_src})
  target_link_libraries(test_${name} PRIVATE jex_testsupport ${ARG_LIBS})
  target_precompile_headers(test_${name} REUSE_FROM jex_testsupport)
  gtest_discover_tests(test_${name} TEST_PREFIX "${name}." TEST_LIST test_${name}_TESTS
    DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60 NO_PRETTY_VALUES
    PROPERTIES TIMEOUT 300 LABELS ${name})
  # The environment is a list, which the discovery cannot pass on as one property value: it is
  # set by a script that runs after the discovered tests are added.
  set(_env "QT_QPA_PLATFORM=offscreen;JEX_SOURCE_DIR=${CMAKE_SOURCE_DIR};JEX_BINARY_DIR=${CMAKE_BINARY_DIR}")
  set(_serial "")
  if(ARG_SERIAL)
    set(_serial " RUN_SERIAL TRUE")
  endif()
  set(_script "${CMAKE_CURRENT_BINARY_DIR}/test_${name}_environment.cmake")
  file(WRITE "${_script}"
       "if(test_${name}_TESTS)\n  set_tests_properties(\${test_${name}_TESTS} PROPERTIES ENVIRONMENT [==[${_env}]==]${_serial})\nendif()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES "${_script}")
endfunction()
