# Installing the libraries for users: the two shared libraries (on Windows
# each DLL in bin/ and its import libraries in lib/), the public headers, a
# pkg-config file for each and one CMake package that gives the imported
# targets quintaro::imgthumbnail and quintaro::imgthumbnail-ex. Nothing
# internal is installed.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(IMGTHUMB_DESCRIPTION "Image thumbnails: square, aspect ratio, smart crop and batch, through a plain C interface")
set(IMGTHUMB_EX_DESCRIPTION
    "Image thumbnails with options (cover, fit, pad, smart; upright, no upscaling, JPEG quality), thread-safe")
# Per library: its export name, description, header and static macro.
set(imgthumb_libraries quintaro-imgthumbnail quintaro-imgthumbnail-ex)
set(quintaro-imgthumbnail_EXPORT imgthumbnail)
set(quintaro-imgthumbnail_DESCRIPTION "${IMGTHUMB_DESCRIPTION}")
set(quintaro-imgthumbnail_HEADER imgthumbnail.h)
set(quintaro-imgthumbnail_STATIC_MACRO IMGTHUMBNAIL_STATIC)
set(quintaro-imgthumbnail-ex_EXPORT imgthumbnail-ex)
set(quintaro-imgthumbnail-ex_DESCRIPTION "${IMGTHUMB_EX_DESCRIPTION}")
set(quintaro-imgthumbnail-ex_HEADER imgthumbnail_ex.h)
set(quintaro-imgthumbnail-ex_STATIC_MACRO IMGTHUMBNAIL_EX_STATIC)

# The pkg-config files find their prefix from their own place, so the
# installed tree can be moved (cmake --install --prefix, DESTDIR staging).
file(RELATIVE_PATH IMGTHUMB_PC_TO_PREFIX /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
string(REGEX REPLACE "/$" "" IMGTHUMB_PC_TO_PREFIX "${IMGTHUMB_PC_TO_PREFIX}")
foreach(kind IN ITEMS LIBDIR INCLUDEDIR)
  if(IS_ABSOLUTE "${CMAKE_INSTALL_${kind}}")
    set(IMGTHUMB_PC_${kind} "${CMAKE_INSTALL_${kind}}")
  else()
    set(IMGTHUMB_PC_${kind} "\${prefix}/${CMAKE_INSTALL_${kind}}")
  endif()
endforeach()

foreach(lib IN LISTS imgthumb_libraries)
  set_target_properties(${lib} PROPERTIES EXPORT_NAME ${${lib}_EXPORT})
  target_include_directories(${lib} INTERFACE $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)

  if(WIN32 AND IMGTHUMB_SHARED)
    imgthumb_windows_resources(${lib} NAME ${lib} TYPE DLL DESCRIPTION "${${lib}_DESCRIPTION}")
  endif()

  install(TARGETS ${lib} EXPORT quintaro-imgthumbnail-targets
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
  if(WIN32 AND IMGTHUMB_SHARED AND CMAKE_STRIP)
    # The DLL users ship carries no debug sections (nor those of the bundled
    # mingw runtime); only a Debug build installs it as built.
    install(CODE "
      if(NOT \"$<CONFIG>\" STREQUAL \"Debug\")
        set(dll \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/$<TARGET_FILE_NAME:${lib}>\")
        if(DEFINED ENV{DESTDIR})
          set(dll \"\$ENV{DESTDIR}\${dll}\")
        endif()
        execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-debug \"\${dll}\" RESULT_VARIABLE rc)
        if(rc)
          message(FATAL_ERROR \"could not strip \${dll}\")
        endif()
      endif()")
  endif()
  install(FILES ${PROJECT_SOURCE_DIR}/include/${${lib}_HEADER} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

  # A static library brings its define and the runtime libraries it needs.
  set(IMGTHUMB_PC_NAME ${lib})
  set(IMGTHUMB_PC_DESCRIPTION "${${lib}_DESCRIPTION}")
  set(IMGTHUMB_PC_CFLAGS "")
  set(IMGTHUMB_PC_LIBS_PRIVATE "")
  set(IMGTHUMB_PC_REQUIRES_PRIVATE "")
  if(NOT IMGTHUMB_SHARED)
    set(IMGTHUMB_PC_CFLAGS " -D${${lib}_STATIC_MACRO}")
    set(IMGTHUMB_PC_LIBS_PRIVATE "Libs.private: -lm")
    # The PNG reader's inflate.
    set(IMGTHUMB_PC_REQUIRES_PRIVATE "Requires.private: libisal")
  endif()
  configure_file(${CMAKE_CURRENT_LIST_DIR}/quintaro-imgthumbnail.pc.in ${PROJECT_BINARY_DIR}/${lib}.pc @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/${lib}.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
endforeach()

set(IMGTHUMB_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/quintaro-imgthumbnail)
install(EXPORT quintaro-imgthumbnail-targets NAMESPACE quintaro:: DESTINATION ${IMGTHUMB_CMAKE_DIR})
# A static library's consumers link ISA-L (the system's libisal).
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/quintaro-imgthumbnail-config.cmake.in
  ${PROJECT_BINARY_DIR}/quintaro-imgthumbnail-config.cmake
  INSTALL_DESTINATION ${IMGTHUMB_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/quintaro-imgthumbnail-config-version.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/quintaro-imgthumbnail-config.cmake
              ${PROJECT_BINARY_DIR}/quintaro-imgthumbnail-config-version.cmake
        DESTINATION ${IMGTHUMB_CMAKE_DIR})
