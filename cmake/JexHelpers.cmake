# jex_library(NAME DIR [LIBS ...]): one static library from every source file of a folder
# (not its sub-folders). New files in the folder are picked up without editing CMake.
# A folder without sources yet gives an interface library, so that users can link it already.
function(jex_library name dir)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  file(GLOB _src CONFIGURE_DEPENDS ${dir}/*.cpp)
  file(GLOB _hdr CONFIGURE_DEPENDS ${dir}/*.h)
  if(_src)
    add_library(${name} STATIC ${_src} ${_hdr})
    target_link_libraries(${name} PUBLIC jex_settings ${ARG_LIBS})
    target_precompile_headers(${name} REUSE_FROM jex_pch)
  else()
    add_library(${name} INTERFACE)
    target_link_libraries(${name} INTERFACE jex_settings ${ARG_LIBS})
  endif()
endfunction()

# jex_test(NAME [LIBS ...]): one GoogleTest executable from tests/NAME/*.cpp, registered with CTest.
function(jex_test name)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  file(GLOB _src CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${name}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/${name}/*.h)
  if(NOT _src)
    return()
  endif()
  add_executable(test_${name} ${_src})
  target_link_libraries(test_${name} PRIVATE jex_testsupport ${ARG_LIBS})
  target_precompile_headers(test_${name} REUSE_FROM jex_testsupport)
  add_test(NAME ${name} COMMAND test_${name})
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;JEX_SOURCE_DIR=${CMAKE_SOURCE_DIR};JEX_BINARY_DIR=${CMAKE_BINARY_DIR}"
    TIMEOUT 300)
endfunction()
