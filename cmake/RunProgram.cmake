cmake_minimum_required(VERSION 3.25)
# Runs the program once off screen: checks its exit code, a text its error stream must hold,
# and, for a screenshot, that the picture is a PNG of the expected size.
#   -DPROGRAM= -DARGS="a;b" -DWANT_RC= [-DWANT_ERR=text] [-DPICTURE=file -DWIDTH= -DHEIGHT=]
if(PICTURE)
  file(REMOVE ${PICTURE})
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
    QUILLET_REGISTRY=${CMAKE_CURRENT_BINARY_DIR}/program-registry.reg ${PROGRAM} ${ARGS}
  OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE rc TIMEOUT 120)
if(NOT rc STREQUAL WANT_RC)
  message(FATAL_ERROR "exit code ${rc}, expected ${WANT_RC}\nstdout:\n${out}\nstderr:\n${err}")
endif()
if(WANT_ERR)
  string(FIND "${err}" "${WANT_ERR}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "stderr lacks \"${WANT_ERR}\"\nstderr:\n${err}")
  endif()
endif()
if(PICTURE)
  if(NOT EXISTS ${PICTURE})
    message(FATAL_ERROR "no picture written\nstderr:\n${err}")
  endif()
  # The signature, then the IHDR chunk: width and height as big-endian 32-bit numbers.
  file(READ ${PICTURE} head LIMIT 24 HEX)
  string(SUBSTRING "${head}" 0 16 magic)
  string(SUBSTRING "${head}" 32 8 w)
  string(SUBSTRING "${head}" 40 8 h)
  math(EXPR w "0x${w}")
  math(EXPR h "0x${h}")
  if(NOT magic STREQUAL "89504e470d0a1a0a" OR NOT w EQUAL WIDTH OR NOT h EQUAL HEIGHT)
    message(FATAL_ERROR "picture is not a ${WIDTH}x${HEIGHT} PNG: ${magic} ${w}x${h}")
  endif()
endif()
