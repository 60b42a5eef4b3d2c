# Makes the NuGet package Quintaro.ImgThumbnail.<version>.nupkg: the managed
# assembly compiled from ImgThumbnail.cs with Mono's compiler under
# lib/netstandard2.0/, the Windows DLLs under runtimes/win-x64/native/ and,
# when given, the Linux libraries under runtimes/linux-x64/native/. A
# package is a zip with the .nuspec at its root and the two files of the
# Open Packaging Conventions ([Content_Types].xml, _rels/.rels) beside it;
# nothing is fetched.
#
# The assembly is compiled against Mono's .NET Standard 2.0 reference set:
# its netstandard.dll forwards every type to the reference mscorlib, so the
# assembly names mscorlib 4.0.0.0, which every .NET Standard 2.0 platform
# provides (.NET Framework 4.6.1 and later, .NET Core and .NET through their
# compatibility facade, Mono).
#
# cmake -DVERSION=1.0.0 -DMCS=/usr/bin/mcs -DMONO_API=/usr/lib/mono/4.7.1-api
#       -DSOURCE=bindings/dotnet/ImgThumbnail.cs -DWINDOWS_DIR=<folder of the DLLs>
#       [-DLINUX_DIR=<folder of the .so files>] [-DSTRIP=<mingw strip>] -DOUT_DIR=<folder>
#       -P make_package.cmake
# With STRIP the DLLs lose their debug sections, as when installed; strip
# then writes the time into a DLL's header, unless SOURCE_DATE_EPOCH names
# one, so 0 is given and the package's DLLs are the same on every run.
cmake_minimum_required(VERSION 3.20)
foreach(v VERSION MCS MONO_API SOURCE WINDOWS_DIR OUT_DIR)
  if(NOT DEFINED ${v} OR "${${v}}" STREQUAL "")
    message(FATAL_ERROR "make_package.cmake needs -D${v}=...")
  endif()
endforeach()
set(id Quintaro.ImgThumbnail)
set(stage ${OUT_DIR}/${id}.stage)
file(REMOVE_RECURSE ${stage})
file(MAKE_DIRECTORY ${stage}/lib/netstandard2.0 ${stage}/_rels ${stage}/runtimes/win-x64/native)
if(LINUX_DIR)
  file(MAKE_DIRECTORY ${stage}/runtimes/linux-x64/native)
endif()

execute_process(COMMAND ${MCS} -target:library -warnaserror -optimize+ -nostdlib
                        -r:${MONO_API}/mscorlib.dll -r:${MONO_API}/Facades/netstandard.dll
                        -out:${stage}/lib/netstandard2.0/${id}.dll ${SOURCE}
                RESULT_VARIABLE rc)
if(rc)
  message(FATAL_ERROR "mcs could not compile ${SOURCE}")
endif()

set(files lib/netstandard2.0/${id}.dll)
foreach(lib quintaro-imgthumbnail quintaro-imgthumbnail-ex)
  file(COPY_FILE ${WINDOWS_DIR}/${lib}.dll ${stage}/runtimes/win-x64/native/${lib}.dll)
  if(STRIP)
    execute_process(COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=0
                            ${STRIP} --strip-debug ${stage}/runtimes/win-x64/native/${lib}.dll RESULT_VARIABLE rc)
    if(rc)
      message(FATAL_ERROR "could not strip ${lib}.dll")
    endif()
  endif()
  list(APPEND files runtimes/win-x64/native/${lib}.dll)
  if(LINUX_DIR)
    # The name the runtimes look for (lib<name>.so), the file itself.
    file(REAL_PATH ${LINUX_DIR}/lib${lib}.so real)
    file(COPY_FILE ${real} ${stage}/runtimes/linux-x64/native/lib${lib}.so)
    list(APPEND files runtimes/linux-x64/native/lib${lib}.so)
  endif()
endforeach()

configure_file(${CMAKE_CURRENT_LIST_DIR}/${id}.nuspec.in ${stage}/${id}.nuspec @ONLY)
file(WRITE "${stage}/[Content_Types].xml"
  "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
  "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">\n"
  "  <Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\" />\n"
  "  <Default Extension=\"nuspec\" ContentType=\"application/octet\" />\n"
  "  <Default Extension=\"dll\" ContentType=\"application/octet\" />\n"
  "  <Default Extension=\"so\" ContentType=\"application/octet\" />\n"
  "</Types>\n")
file(WRITE ${stage}/_rels/.rels
  "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
  "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">\n"
  "  <Relationship Type=\"http://schemas.microsoft.com/packaging/2010/07/manifest\" Target=\"/${id}.nuspec\" Id=\"R1\" />\n"
  "</Relationships>\n")

set(package ${OUT_DIR}/${id}.${VERSION}.nupkg)
file(REMOVE ${package})
execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${package} --format=zip --
                        ${id}.nuspec [Content_Types].xml _rels/.rels ${files}
                WORKING_DIRECTORY ${stage} RESULT_VARIABLE rc)
if(rc)
  message(FATAL_ERROR "could not write ${package}")
endif()
file(REMOVE_RECURSE ${stage})
message(STATUS "wrote ${package}")
