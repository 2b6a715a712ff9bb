# The shipped language definitions: the scripts in resources/languages/ are compiled at
# build time by a small host tool and the stored values are embedded in quillet_shipped,
# which every program linking quillet_highlight receives (ShippedDefinition()).
set(shipped_cpp ${CMAKE_BINARY_DIR}/generated/ShippedDefinitions.cpp)
set(shipped_values)
set(embed_args)

file(GLOB css_script CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/languages/css.*)
file(GLOB html_script CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/languages/html.*)
# Every script file, so an edit to a shared #include recompiles both definitions.
file(GLOB language_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/languages/*)
# Any file there may be included by the two scripts.
file(GLOB language_files CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/languages/*)

if(EXISTS ${CMAKE_SOURCE_DIR}/cli/CmdCompile.cpp)
  # The host tool runs the compile command only, so it never needs the values it makes; it
  # takes that one command's source rather than quillet_cli, which links the values.
  add_executable(quillet-defc ${CMAKE_SOURCE_DIR}/cmake/DefCompileTool.cpp
                              ${CMAKE_SOURCE_DIR}/cli/CmdCompile.cpp)
  target_link_libraries(quillet-defc PRIVATE quillet_highlight)
  set_target_properties(quillet-defc PROPERTIES QUILLET_HOST_TOOL ON)
  foreach(name css html)
    set(script "${${name}_script}")
    if(script)
      list(GET script 0 script)
      set(value ${CMAKE_BINARY_DIR}/generated/${name}.def)
      add_custom_command(OUTPUT ${value}
        COMMAND quillet-defc ${script} -o ${value}
        DEPENDS quillet-defc ${language_files}
        COMMENT "Compiling the ${name} language definition")
      list(APPEND shipped_values ${value})
      string(TOUPPER ${name} var)
      list(APPEND embed_args -D${var}=${value})
    endif()
  endforeach()
endif()

add_custom_command(OUTPUT ${shipped_cpp}
  COMMAND ${CMAKE_COMMAND} -DOUT=${shipped_cpp} ${embed_args}
          -P ${CMAKE_SOURCE_DIR}/cmake/EmbedDefinitions.cmake
  DEPENDS ${shipped_values} ${CMAKE_SOURCE_DIR}/cmake/EmbedDefinitions.cmake
  COMMENT "Embedding the shipped language definitions")
add_library(quillet_shipped STATIC ${shipped_cpp})
# Everything but the host tool links the values after quillet_highlight.
target_link_libraries(quillet_highlight INTERFACE
  $<$<NOT:$<BOOL:$<TARGET_PROPERTY:QUILLET_HOST_TOOL>>>:quillet_shipped>)
