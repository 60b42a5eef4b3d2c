# Visual Studio's linker takes an import library of its own kind
# (<library>.lib), made here from the module-definition file that the DLL's
# link writes (<library>.def). Both land beside the mingw import library
# (.dll.a) and are installed with it.
# Included by src/CMakeLists.txt for the shared Windows build, which calls
# imgthumb_msvc_import_library for each DLL; the .lib's path is left in
# <target>_MSVC_IMPORT_LIB in the caller's scope.
find_program(IMGTHUMB_DLLTOOL NAMES llvm-dlltool llvm-dlltool-14 x86_64-w64-mingw32-dlltool
             PATHS /usr/lib/llvm-14/bin
             DOC "llvm-dlltool (or mingw's dlltool): makes the import library for Microsoft's linker")
if(NOT IMGTHUMB_DLLTOOL)
  message(WARNING "no llvm-dlltool or dlltool: no import library for Visual Studio is made (install llvm)")
endif()

function(imgthumb_msvc_import_library target)
  if(NOT IMGTHUMB_DLLTOOL)
    return()
  endif()
  # Where the .dll.a goes (CMAKE_ARCHIVE_OUTPUT_DIRECTORY when it is set).
  if(CMAKE_ARCHIVE_OUTPUT_DIRECTORY)
    set(import_dir ${CMAKE_ARCHIVE_OUTPUT_DIRECTORY})
  else()
    set(import_dir ${CMAKE_CURRENT_BINARY_DIR})
  endif()
  set(def_file ${import_dir}/${target}.def)
  set(msvc_lib ${import_dir}/${target}.lib)
  target_link_options(${target} PRIVATE -Wl,--output-def,${def_file})
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${IMGTHUMB_DLLTOOL} -m i386:x86-64 -d ${def_file} -l ${msvc_lib} -D $<TARGET_FILE_NAME:${target}>
    BYPRODUCTS ${msvc_lib}
    VERBATIM)
  install(FILES ${def_file} ${msvc_lib} DESTINATION ${CMAKE_INSTALL_LIBDIR})
  set(${target}_MSVC_IMPORT_LIB ${msvc_lib} PARENT_SCOPE)
endfunction()
