# Visual Studio's linker takes an import library of its own kind
# (quintaro-imgthumbnail.lib), made here from the module-definition file
# that the DLL's link writes (quintaro-imgthumbnail.def). Both land beside
# the mingw import library (.dll.a) and are installed with it.
# Included by src/CMakeLists.txt for the shared Windows build.
find_program(IMGTHUMB_DLLTOOL NAMES llvm-dlltool llvm-dlltool-14 x86_64-w64-mingw32-dlltool
             PATHS /usr/lib/llvm-14/bin
             DOC "llvm-dlltool (or mingw's dlltool): makes the import library for Microsoft's linker")
if(NOT IMGTHUMB_DLLTOOL)
  message(WARNING "no llvm-dlltool or dlltool: no import library for Visual Studio is made (install llvm)")
  return()
endif()

# Where the .dll.a goes (CMAKE_ARCHIVE_OUTPUT_DIRECTORY when it is set).
if(CMAKE_ARCHIVE_OUTPUT_DIRECTORY)
  set(imgthumb_import_dir ${CMAKE_ARCHIVE_OUTPUT_DIRECTORY})
else()
  set(imgthumb_import_dir ${CMAKE_CURRENT_BINARY_DIR})
endif()
set(IMGTHUMB_DEF_FILE ${imgthumb_import_dir}/quintaro-imgthumbnail.def)
set(IMGTHUMB_MSVC_IMPORT_LIB ${imgthumb_import_dir}/quintaro-imgthumbnail.lib)
target_link_options(quintaro-imgthumbnail PRIVATE -Wl,--output-def,${IMGTHUMB_DEF_FILE})
add_custom_command(TARGET quintaro-imgthumbnail POST_BUILD
  COMMAND ${IMGTHUMB_DLLTOOL} -m i386:x86-64 -d ${IMGTHUMB_DEF_FILE}
          -l ${IMGTHUMB_MSVC_IMPORT_LIB} -D $<TARGET_FILE_NAME:quintaro-imgthumbnail>
  BYPRODUCTS ${IMGTHUMB_MSVC_IMPORT_LIB}
  VERBATIM)
install(FILES ${IMGTHUMB_DEF_FILE} ${IMGTHUMB_MSVC_IMPORT_LIB} DESTINATION ${CMAKE_INSTALL_LIBDIR})
# Seen by the tests (this file runs in src/'s scope).
set(IMGTHUMB_MSVC_IMPORT_LIB ${IMGTHUMB_MSVC_IMPORT_LIB} PARENT_SCOPE)
