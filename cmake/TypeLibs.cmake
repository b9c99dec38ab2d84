# Type libraries made at build time from IDL files with widl (Debian's wine64-tools, its IDL
# includes in libwine-dev): the tests' fixtures and the program's own libraries. No library is
# kept in the repository.
find_program(JEX_WIDL widl)
find_path(JEX_WIDL_INCLUDE oaidl.idl PATHS /usr/include/wine/wine/windows /usr/include/wine/windows NO_DEFAULT_PATH)
find_path(JEX_STDOLE_DIR stdole2.tlb
  PATHS /usr/lib/x86_64-linux-gnu/wine/x86_64-windows /usr/lib/wine/x86_64-windows /usr/lib64/wine/x86_64-windows
        /usr/lib/i386-linux-gnu/wine/i386-windows /usr/lib/wine/i386-windows NO_DEFAULT_PATH)
if(JEX_WIDL AND JEX_WIDL_INCLUDE AND JEX_STDOLE_DIR)
  set(JEX_HAVE_WIDL ON)
else()
  set(JEX_HAVE_WIDL OFF)
  message(WARNING "widl, its IDL includes or stdole2.tlb are missing (scripts/install-deps.sh installs them): "
                  "the type libraries and their tests are left out")
endif()
set(JEX_TYPELIB_DIR ${CMAKE_BINARY_DIR}/typelibs)

# jex_typelib(OUTPUT IDL [BITS 32|64] [DEPENDS files...]): OUTPUT (a .tlb path) from IDL. The
# folder of OUTPUT and of the IDL are searched for imported IDL files and libraries.
function(jex_typelib output idl)
  cmake_parse_arguments(ARG "" "BITS" "DEPENDS" ${ARGN})
  if(NOT ARG_BITS)
    set(ARG_BITS 64)
  endif()
  get_filename_component(_out_dir ${output} DIRECTORY)
  get_filename_component(_idl_dir ${idl} DIRECTORY)
  add_custom_command(OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${_out_dir}
    COMMAND ${JEX_WIDL} -m${ARG_BITS} -t -L${JEX_STDOLE_DIR} -L${_out_dir} -I${JEX_WIDL_INCLUDE} -I${_idl_dir}
            -o ${output} ${idl}
    DEPENDS ${idl} ${ARG_DEPENDS}
    COMMENT "Type library ${output}" VERBATIM)
endfunction()

# jex_program_typelib(TARGET): the program's own type library, TARGET.tlb beside it, from the
# IDL the built program writes of its member tables (--write-idl).
function(jex_program_typelib target)
  if(NOT TARGET ${target} OR NOT JEX_HAVE_WIDL)
    return()
  endif()
  set(_bin ${CMAKE_BINARY_DIR}/bin)
  add_custom_command(OUTPUT ${_bin}/${target}.idl
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 $<TARGET_FILE:${target}>
            --write-idl ${_bin}/${target}.idl
    DEPENDS ${target} COMMENT "The IDL of ${target}" VERBATIM)
  jex_typelib(${_bin}/${target}.tlb ${_bin}/${target}.idl BITS 32)
  add_custom_target(${target}_typelib ALL DEPENDS ${_bin}/${target}.tlb)
endfunction()
