# The static libraries (BUILD_SHARED_LIBS=OFF): the engine's objects, those
# of the helpers it shares with the command, and one interface's joined into
# one relocatable object in which only that
# interface's exported functions stay global. The bundled decoder and
# encoder, and every internal function, become local symbols, so a program
# with an stb_image of its own, or with both libraries, links without a
# clash. Consumers get the interface's *_STATIC macro defined for them.
# Included by src/CMakeLists.txt, which calls imgthumb_static_library for
# each library.
if(NOT CMAKE_OBJCOPY)
  message(FATAL_ERROR "the static library needs objcopy (binutils)")
endif()

# imgthumb_static_library(TARGET INTERFACE_OBJECTS STATIC_MACRO FUNCTION...)
function(imgthumb_static_library target interface_objects static_macro)
  set(keep ${CMAKE_CURRENT_BINARY_DIR}/${target}-exports.txt)
  string(REPLACE ";" "\n" keep_text "${ARGN}")
  file(WRITE ${keep} "${keep_text}\n")
  set(joined ${CMAKE_CURRENT_BINARY_DIR}/${target}-joined${CMAKE_CXX_OUTPUT_EXTENSION})
  set(objects $<TARGET_OBJECTS:imgthumb_engine> $<TARGET_OBJECTS:imgthumb_common>
              $<TARGET_OBJECTS:${interface_objects}>)
  add_custom_command(OUTPUT ${joined}
    COMMAND ${CMAKE_CXX_COMPILER} -r -nostdlib -o ${joined} ${objects}
    COMMAND ${CMAKE_OBJCOPY} --keep-global-symbols=${keep} ${joined}
    DEPENDS ${objects} ${keep}
    COMMENT "Joining the objects of ${target}, internal symbols made local"
    COMMAND_EXPAND_LISTS VERBATIM)
  add_library(${target} STATIC ${joined})
  set_target_properties(${target} PROPERTIES LINKER_LANGUAGE CXX)
  target_compile_definitions(${target} INTERFACE ${static_macro})
  # The PNG reader's inflate, which the consumer links.
  target_link_libraries(${target} INTERFACE ${IMGTHUMB_ISAL_LINK})
  if(NOT WIN32)
    target_link_libraries(${target} INTERFACE m)
  endif()
endfunction()
