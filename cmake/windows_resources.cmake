# imgthumb_windows_resources(TARGET NAME name TYPE DLL|APP DESCRIPTION text
#                            [MANIFEST file])
# Compiles the resources of one Windows DLL or program into TARGET, from the
# one template windows_resources.rc.in: its version resource, which names
# the file NAME.dll or NAME.exe and says DESCRIPTION, and, when MANIFEST is
# given, that application manifest (configured first: @PROJECT_VERSION@ in
# it is replaced). Included by the top-level CMakeLists.txt on Windows.
set(IMGTHUMB_RC_TEMPLATE ${CMAKE_CURRENT_LIST_DIR}/windows_resources.rc.in)

function(imgthumb_windows_resources target)
  cmake_parse_arguments(PARSE_ARGV 1 rc "" "NAME;TYPE;DESCRIPTION;MANIFEST" "")
  if(rc_TYPE STREQUAL "DLL")
    set(extension dll)
  elseif(rc_TYPE STREQUAL "APP")
    set(extension exe)
  else()
    message(FATAL_ERROR "imgthumb_windows_resources: TYPE is DLL or APP, not '${rc_TYPE}'")
  endif()
  set(IMGTHUMB_RC_NAME ${rc_NAME})
  set(IMGTHUMB_RC_FILE ${rc_NAME}.${extension})
  set(IMGTHUMB_RC_TYPE ${rc_TYPE})
  set(IMGTHUMB_RC_DESCRIPTION ${rc_DESCRIPTION})
  set(IMGTHUMB_RC_MANIFEST "")
  set(rc_file ${CMAKE_CURRENT_BINARY_DIR}/${target}-resources.rc)
  if(rc_MANIFEST)
    get_filename_component(manifest_name ${rc_MANIFEST} NAME)
    set(manifest ${CMAKE_CURRENT_BINARY_DIR}/${manifest_name})
    configure_file(${rc_MANIFEST} ${manifest} @ONLY)
    set(IMGTHUMB_RC_MANIFEST "1 24 \"${manifest}\"")
    set_property(SOURCE ${rc_file} APPEND PROPERTY OBJECT_DEPENDS ${manifest})
  endif()
  configure_file(${IMGTHUMB_RC_TEMPLATE} ${rc_file} @ONLY)
  target_sources(${target} PRIVATE ${rc_file})
endfunction()
