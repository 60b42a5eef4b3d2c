# Installing the library for users: the shared library (on Windows the DLL
# in bin/ and its import library in lib/), the public header, a pkg-config
# file and a CMake package that gives the imported target
# quintaro::imgthumbnail. Nothing internal is installed.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(IMGTHUMB_DESCRIPTION "Image thumbnails: square, aspect ratio, smart crop and batch, through a plain C interface")

set_target_properties(quintaro-imgthumbnail PROPERTIES EXPORT_NAME imgthumbnail)
target_include_directories(quintaro-imgthumbnail INTERFACE $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)

if(WIN32 AND IMGTHUMB_SHARED)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/version.rc.in ${PROJECT_BINARY_DIR}/quintaro-imgthumbnail-version.rc @ONLY)
  target_sources(quintaro-imgthumbnail PRIVATE ${PROJECT_BINARY_DIR}/quintaro-imgthumbnail-version.rc)
endif()

install(TARGETS quintaro-imgthumbnail EXPORT quintaro-imgthumbnail-targets
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
if(WIN32 AND IMGTHUMB_SHARED AND CMAKE_STRIP)
  # The DLL users ship carries no debug sections (nor those of the bundled
  # mingw runtime); only a Debug build installs it as built.
  install(CODE "
    if(NOT \"$<CONFIG>\" STREQUAL \"Debug\")
      set(dll \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/$<TARGET_FILE_NAME:quintaro-imgthumbnail>\")
      if(DEFINED ENV{DESTDIR})
        set(dll \"\$ENV{DESTDIR}\${dll}\")
      endif()
      execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-debug \"\${dll}\" RESULT_VARIABLE rc)
      if(rc)
        message(FATAL_ERROR \"could not strip \${dll}\")
      endif()
    endif()")
endif()
install(FILES ${PROJECT_SOURCE_DIR}/include/imgthumbnail.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

set(IMGTHUMB_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/quintaro-imgthumbnail)
install(EXPORT quintaro-imgthumbnail-targets NAMESPACE quintaro:: DESTINATION ${IMGTHUMB_CMAKE_DIR})
# A static library's consumers link zlib: the package finds it for them.
set(IMGTHUMB_SHARED_PACKAGE ${IMGTHUMB_SHARED})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/quintaro-imgthumbnail-config.cmake.in
  ${PROJECT_BINARY_DIR}/quintaro-imgthumbnail-config.cmake
  INSTALL_DESTINATION ${IMGTHUMB_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/quintaro-imgthumbnail-config-version.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/quintaro-imgthumbnail-config.cmake
              ${PROJECT_BINARY_DIR}/quintaro-imgthumbnail-config-version.cmake
        DESTINATION ${IMGTHUMB_CMAKE_DIR})

# The pkg-config file finds its prefix from its own place, so the installed
# tree can be moved (cmake --install --prefix, DESTDIR staging).
file(RELATIVE_PATH IMGTHUMB_PC_TO_PREFIX /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
string(REGEX REPLACE "/$" "" IMGTHUMB_PC_TO_PREFIX "${IMGTHUMB_PC_TO_PREFIX}")
foreach(kind IN ITEMS LIBDIR INCLUDEDIR)
  if(IS_ABSOLUTE "${CMAKE_INSTALL_${kind}}")
    set(IMGTHUMB_PC_${kind} "${CMAKE_INSTALL_${kind}}")
  else()
    set(IMGTHUMB_PC_${kind} "\${prefix}/${CMAKE_INSTALL_${kind}}")
  endif()
endforeach()
# A static library brings its defines and the runtime libraries it needs.
set(IMGTHUMB_PC_CFLAGS "")
set(IMGTHUMB_PC_LIBS_PRIVATE "")
set(IMGTHUMB_PC_REQUIRES_PRIVATE "")
if(NOT IMGTHUMB_SHARED)
  set(IMGTHUMB_PC_CFLAGS " -DIMGTHUMBNAIL_STATIC")
  set(IMGTHUMB_PC_LIBS_PRIVATE "Libs.private: -lm")
  set(IMGTHUMB_PC_REQUIRES_PRIVATE "Requires.private: zlib")
endif()
configure_file(${CMAKE_CURRENT_LIST_DIR}/quintaro-imgthumbnail.pc.in
  ${PROJECT_BINARY_DIR}/quintaro-imgthumbnail.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/quintaro-imgthumbnail.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
