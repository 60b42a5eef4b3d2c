# ISA-L's inflate (igzip), the PNG reader's: Debian's libisal-dev on Linux,
# linked as the system's shared libisal. The Windows DLL links ISA-L built
# from Debian's source package of the same version (IMGTHUMB_ISAL_SOURCE_DIR:
# the unpacked source that tools/install-deps.sh fetches and checks) with
# mingw-w64 and nasm, as a static library, so that it needs no other DLL.
#
# Sets the imported target imgthumb_isal, and IMGTHUMB_ISAL_LINK: what a
# static build's consumers link for it.
if(MINGW)
  set(IMGTHUMB_ISAL_SOURCE_DIR /var/cache/imgthumb-deps/libisal-2.30.0 CACHE PATH
      "Unpacked source of Debian's libisal 2.30.0 (tools/install-deps.sh puts it in /var/cache/imgthumb-deps)")
  if(NOT EXISTS "${IMGTHUMB_ISAL_SOURCE_DIR}/Makefile.unx")
    message(FATAL_ERROR "the Windows build needs ISA-L's source: run tools/install-deps.sh (as root), then "
                        "configure with -DIMGTHUMB_ISAL_SOURCE_DIR=/var/cache/imgthumb-deps/libisal-2.30.0")
  endif()
  find_program(IMGTHUMB_NASM nasm REQUIRED)
  find_program(IMGTHUMB_MAKE NAMES make gmake REQUIRED)
  set(isal_dir ${PROJECT_BINARY_DIR}/isa-l)
  set(isal_lib ${isal_dir}/src/bin/isa-l.a)
  # The headers as Debian installs them: <isa-l/igzip_lib.h>.
  file(GLOB isal_headers ${IMGTHUMB_ISAL_SOURCE_DIR}/include/*.h)
  file(COPY ${isal_headers} DESTINATION ${isal_dir}/include/isa-l)
  # Built in a copy of the source, which stays as it was unpacked.
  add_custom_command(OUTPUT ${isal_lib}
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${isal_dir}/src
    COMMAND ${CMAKE_COMMAND} -E copy_directory ${IMGTHUMB_ISAL_SOURCE_DIR} ${isal_dir}/src
    COMMAND ${IMGTHUMB_MAKE} -s -C ${isal_dir}/src -f Makefile.unx arch=mingw units=igzip
            CC=${CMAKE_C_COMPILER} AR=${CMAKE_AR} AS=${IMGTHUMB_NASM} lib
    COMMENT "Building ISA-L's inflate with mingw-w64"
    VERBATIM)
  add_custom_target(imgthumb_isal_build DEPENDS ${isal_lib})
  add_library(imgthumb_isal STATIC IMPORTED GLOBAL)
  set_target_properties(imgthumb_isal PROPERTIES
    IMPORTED_LOCATION ${isal_lib}
    INTERFACE_INCLUDE_DIRECTORIES ${isal_dir}/include)
  add_dependencies(imgthumb_isal imgthumb_isal_build)
  set(IMGTHUMB_ISAL_LINK $<BUILD_INTERFACE:${isal_lib}>)
else()
  find_path(IMGTHUMB_ISAL_INCLUDE_DIR isa-l/igzip_lib.h)
  find_library(IMGTHUMB_ISAL_LIBRARY isal)
  if(NOT IMGTHUMB_ISAL_INCLUDE_DIR OR NOT IMGTHUMB_ISAL_LIBRARY)
    message(FATAL_ERROR "ISA-L not found: install Debian's libisal-dev (tools/install-deps.sh does)")
  endif()
  add_library(imgthumb_isal UNKNOWN IMPORTED GLOBAL)
  set_target_properties(imgthumb_isal PROPERTIES
    IMPORTED_LOCATION ${IMGTHUMB_ISAL_LIBRARY}
    INTERFACE_INCLUDE_DIRECTORIES ${IMGTHUMB_ISAL_INCLUDE_DIR})
  set(IMGTHUMB_ISAL_LINK isal)
endif()
