# Installing the library for users: the shared library (on Windows the DLL
# in bin/ and its import library in lib/), the public header, a pkg-config
# file and a CMake package that gives the imported target
# quintaro::imgthumbnail. Nothing internal is installed.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(IMGTHUMB_DESCRIPTION "Image thumbnails: square, aspect ratio, smart crop and batch, through a plain C interface")

# The same name inside this build tree, for projects that add it as a subdirectory.
add_library(quintaro::imgthumbnail ALIAS quintaro-imgthumbnail)
set_target_properties(quintaro-imgthumbnail PROPERTIES EXPORT_NAME imgthumbnail)
target_include_directories(quintaro-imgthumbnail INTERFACE $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)

if(WIN32)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/version.rc.in ${CMAKE_BINARY_DIR}/quintaro-imgthumbnail-version.rc @ONLY)
  target_sources(quintaro-imgthumbnail PRIVATE ${CMAKE_BINARY_DIR}/quintaro-imgthumbnail-version.rc)
endif()

install(TARGETS quintaro-imgthumbnail EXPORT quintaro-imgthumbnail-targets
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES ${PROJECT_SOURCE_DIR}/src/imgthumbnail.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

set(IMGTHUMB_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/quintaro-imgthumbnail)
install(EXPORT quintaro-imgthumbnail-targets NAMESPACE quintaro:: DESTINATION ${IMGTHUMB_CMAKE_DIR})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/quintaro-imgthumbnail-config.cmake.in
  ${CMAKE_BINARY_DIR}/quintaro-imgthumbnail-config.cmake
  INSTALL_DESTINATION ${IMGTHUMB_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/quintaro-imgthumbnail-config-version.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/quintaro-imgthumbnail-config.cmake
              ${CMAKE_BINARY_DIR}/quintaro-imgthumbnail-config-version.cmake
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
configure_file(${CMAKE_CURRENT_LIST_DIR}/quintaro-imgthumbnail.pc.in
  ${CMAKE_BINARY_DIR}/quintaro-imgthumbnail.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/quintaro-imgthumbnail.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
