# The decoder and encoder versions the library was written and reviewed for.
# The pre-decode checks (src/io/guard/) follow this decoder's reading
# of each format and its known holes, and the tests hold its exact pixels and
# reasons; another version may read files differently. Upgrading is a
# deliberate change: review the checks against the new decoder, then update
# the hashes here.
#
#   imgthumb_check_stb_pin(DIR)  DIR holds stb_image.h and stb_image_write.h

function(imgthumb_check_stb_pin dir)
  # stb_image 2.27 and stb_image_write 1.16, as Debian 12's libstb-dev
  # (0.0~git20220908.8b5f1f3+ds-1) installs them.
  set(IMGTHUMB_STB_IMAGE_SHA256 91f435e0fc6a620018b878b9859c74dff60d28046f87e649191ad6f35a98c722)
  set(IMGTHUMB_STB_IMAGE_WRITE_SHA256 cbd5f0ad7a9cf4468affb36354a1d2338034f2c12473cf1a8e32053cb6914a05)
  foreach(pair IN ITEMS "stb_image.h:${IMGTHUMB_STB_IMAGE_SHA256}"
                        "stb_image_write.h:${IMGTHUMB_STB_IMAGE_WRITE_SHA256}")
    string(REPLACE ":" ";" pair "${pair}")
    list(GET pair 0 name)
    list(GET pair 1 expected)
    set(header "${dir}/${name}")
    if(NOT EXISTS "${header}")
      message(FATAL_ERROR "${header} not found: install libstb-dev")
    endif()
    file(SHA256 "${header}" actual)
    if(NOT actual STREQUAL expected)
      file(STRINGS "${header}" version LIMIT_COUNT 1)
      message(FATAL_ERROR
        "${header} is not the version this library was written for.\n"
        "  found:    ${version} (SHA-256 ${actual})\n"
        "  expected: SHA-256 ${expected} (stb_image 2.27 / stb_image_write 1.16, "
        "Debian 12 libstb-dev 0.0~git20220908.8b5f1f3+ds-1)\n"
        "The checks in src/io/guard/ guard this decoder's known holes and must be "
        "reviewed against any other version before the hashes in cmake/stb_pin.cmake are changed.")
    endif()
  endforeach()
endfunction()
