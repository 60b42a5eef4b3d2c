# Finding zlib, the PNG reader's inflate (Debian's zlib1g-dev; for the
# Windows build libz-mingw-w64-dev). The Windows DLL links the static
# libz.a, so that it needs no other DLL beside it; Linux links the system's
# shared zlib. A static build of the library leaves zlib to its consumer:
# the CMake package finds it for them and the pkg-config file names it.
#
# Sets the imported target ZLIB::ZLIB.
if(MINGW)
  set(ZLIB_USE_STATIC_LIBS ON)
endif()
find_package(ZLIB REQUIRED)
