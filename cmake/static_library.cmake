# The static library (BUILD_SHARED_LIBS=OFF): the library's objects joined
# into one relocatable object in which only the seven functions stay global.
# The bundled decoder and encoder, and every internal function, become local
# symbols, so a program with an stb_image of its own links without a clash.
# Consumers get IMGTHUMBNAIL_STATIC defined for them.
# Included by src/CMakeLists.txt.
set(IMGTHUMB_EXPORTED_FUNCTIONS imgthumbnail_init imgthumbnail_cleanup imgthumbnail_last_error
    imgthumbnail_square imgthumbnail_aspect imgthumbnail_smart imgthumbnail_batch)
set(imgthumb_keep ${CMAKE_CURRENT_BINARY_DIR}/imgthumbnail-exports.txt)
string(REPLACE ";" "\n" imgthumb_keep_text "${IMGTHUMB_EXPORTED_FUNCTIONS}")
file(WRITE ${imgthumb_keep} "${imgthumb_keep_text}\n")
set(imgthumb_joined ${CMAKE_CURRENT_BINARY_DIR}/imgthumbnail-joined${CMAKE_CXX_OUTPUT_EXTENSION})
if(NOT CMAKE_OBJCOPY)
  message(FATAL_ERROR "the static library needs objcopy (binutils)")
endif()
add_custom_command(OUTPUT ${imgthumb_joined}
  COMMAND ${CMAKE_CXX_COMPILER} -r -nostdlib -o ${imgthumb_joined} $<TARGET_OBJECTS:imgthumb_objects>
  COMMAND ${CMAKE_OBJCOPY} --keep-global-symbols=${imgthumb_keep} ${imgthumb_joined}
  DEPENDS $<TARGET_OBJECTS:imgthumb_objects> ${imgthumb_keep}
  COMMENT "Joining the library's objects, internal symbols made local"
  COMMAND_EXPAND_LISTS VERBATIM)
add_library(quintaro-imgthumbnail STATIC ${imgthumb_joined})
set_target_properties(quintaro-imgthumbnail PROPERTIES LINKER_LANGUAGE CXX)
target_compile_definitions(quintaro-imgthumbnail INTERFACE IMGTHUMBNAIL_STATIC)
# The PNG reader's inflate, which the consumer links.
target_link_libraries(quintaro-imgthumbnail INTERFACE ZLIB::ZLIB)
if(NOT WIN32)
  target_link_libraries(quintaro-imgthumbnail INTERFACE m)
endif()
