# Finding zlib, which the tests' PNG writer compresses with (Debian's
# zlib1g-dev; for the Windows build libz-mingw-w64-dev, linked statically
# so that the test programs need no other DLL). The library itself does not
# use it.
#
# Sets the imported target ZLIB::ZLIB.
if(MINGW)
  set(ZLIB_USE_STATIC_LIBS ON)
endif()
find_package(ZLIB REQUIRED)
