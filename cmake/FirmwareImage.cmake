# The firmware image is a build input. The host tool turns a plain image into the stored
# (scrambled) form plus its column sums, as a C++ source compiled into the core. Without a
# given image a deterministic development image is generated; a shipping build refuses that.

if(FWU_SHIPPING AND FWU_FIRMWARE_IMAGE STREQUAL "")
  message(FATAL_ERROR
    "A shipping build needs the real firmware image: configure with -DFWU_FIRMWARE_IMAGE=<plain image>.")
endif()

set(FWU_IMAGE_DIR ${CMAKE_BINARY_DIR}/firmware)
file(MAKE_DIRECTORY ${FWU_IMAGE_DIR})

fwu_host_tool(image_tool FWU_IMAGE_TOOL FWU_IMAGE_TOOL_TARGET)

if(FWU_FIRMWARE_IMAGE STREQUAL "")
  set(FWU_PLAIN_IMAGE ${FWU_IMAGE_DIR}/development_image.bin)
  add_custom_command(OUTPUT ${FWU_PLAIN_IMAGE}
    COMMAND ${FWU_IMAGE_TOOL} generate-development ${FWU_PLAIN_IMAGE}
    DEPENDS ${FWU_IMAGE_TOOL_TARGET}
    COMMENT "Generating the development firmware image")
  set(FWU_IMAGE_IS_DEVELOPMENT 1)
else()
  get_filename_component(FWU_PLAIN_IMAGE ${FWU_FIRMWARE_IMAGE} ABSOLUTE)
  # Caught here already so that a wrong file fails at once, not deep into the build. The tool
  # checks again when it embeds, in case the file is replaced after configuring.
  if(NOT EXISTS ${FWU_PLAIN_IMAGE} OR IS_DIRECTORY ${FWU_PLAIN_IMAGE})
    message(FATAL_ERROR "FWU_FIRMWARE_IMAGE: no such file: ${FWU_PLAIN_IMAGE}")
  endif()
  file(SIZE ${FWU_PLAIN_IMAGE} FWU_PLAIN_IMAGE_SIZE)
  if(NOT FWU_PLAIN_IMAGE_SIZE EQUAL 196608)
    message(FATAL_ERROR
      "FWU_FIRMWARE_IMAGE: ${FWU_PLAIN_IMAGE} has ${FWU_PLAIN_IMAGE_SIZE} bytes; "
      "a plain firmware image has exactly 196608 bytes.")
  endif()
  set(FWU_IMAGE_IS_DEVELOPMENT 0)
endif()

set(FWU_EMBEDDED_IMAGE_SOURCE ${FWU_IMAGE_DIR}/embedded_image.cpp)
add_custom_command(OUTPUT ${FWU_EMBEDDED_IMAGE_SOURCE}
  COMMAND ${FWU_IMAGE_TOOL} embed ${FWU_PLAIN_IMAGE} ${FWU_EMBEDDED_IMAGE_SOURCE}
  DEPENDS ${FWU_IMAGE_TOOL_TARGET} ${FWU_PLAIN_IMAGE}
  COMMENT "Embedding the firmware image")
