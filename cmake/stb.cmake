# Finding the decoder and encoder headers (stb_image.h, stb_image_write.h).
#
# IMGTHUMB_STB_INCLUDE_DIR, when set, names the folder that holds both
# headers. Otherwise pkg-config's "stb" module (Debian's libstb-dev ships
# one) is asked, then the usual /usr/include/stb. The headers are copied into
# the build tree, so the cross build never searches the host's /usr/include
# for anything else.
#
# Sets STB_INCLUDE_DIR: the folder to add to the include path, under which
# the sources find <stb/stb_image.h> and <stb/stb_image_write.h>.

set(IMGTHUMB_STB_INCLUDE_DIR "" CACHE PATH
    "Folder holding stb_image.h and stb_image_write.h (empty: ask pkg-config, then /usr/include/stb)")

set(imgthumb_stb_dir "${IMGTHUMB_STB_INCLUDE_DIR}")
if(NOT imgthumb_stb_dir)
  find_package(PkgConfig QUIET)
  if(PKG_CONFIG_FOUND)
    pkg_check_modules(IMGTHUMB_PC_STB QUIET stb)
    foreach(dir IN LISTS IMGTHUMB_PC_STB_INCLUDE_DIRS)
      if(EXISTS "${dir}/stb_image.h" AND EXISTS "${dir}/stb_image_write.h")
        set(imgthumb_stb_dir "${dir}")
        break()
      endif()
    endforeach()
  endif()
endif()
if(NOT imgthumb_stb_dir AND EXISTS /usr/include/stb/stb_image.h)
  set(imgthumb_stb_dir /usr/include/stb)
endif()
foreach(header IN ITEMS stb_image.h stb_image_write.h)
  if(NOT EXISTS "${imgthumb_stb_dir}/${header}")
    message(FATAL_ERROR "${header} not found: install libstb-dev, or set IMGTHUMB_STB_INCLUDE_DIR "
                        "to the folder that holds stb_image.h and stb_image_write.h")
  endif()
endforeach()
message(STATUS "stb headers: ${imgthumb_stb_dir}")

# ---- The headers are found: checks of the found files go here. ------------

# They must be the very versions the pre-decode checks were written for.
include(${CMAKE_CURRENT_LIST_DIR}/stb_pin.cmake)
imgthumb_check_stb_pin(${imgthumb_stb_dir})

set(STB_INCLUDE_DIR ${PROJECT_BINARY_DIR}/stb-include)
file(COPY ${imgthumb_stb_dir}/stb_image.h ${imgthumb_stb_dir}/stb_image_write.h
     DESTINATION ${STB_INCLUDE_DIR}/stb)
