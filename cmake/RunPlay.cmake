cmake_minimum_required(VERSION 3.25)
# Runs one play script and compares its output with the .out file beside it.
get_filename_component(dir ${SCRIPT} DIRECTORY)
get_filename_component(case ${SCRIPT} NAME_WE)
set(args play)
if(EXISTS ${dir}/${case}.args)
  file(READ ${dir}/${case}.args extra)
  string(STRIP "${extra}" extra)
  string(REPLACE "@DATA@" "${dir}/.." extra "${extra}")
  separate_arguments(extra UNIX_COMMAND "${extra}")
  list(APPEND args ${extra})
endif()
execute_process(COMMAND ${TOOL} ${args} ${SCRIPT}
  WORKING_DIRECTORY ${dir}
  OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE rc)
file(READ ${dir}/${case}.out expected)
if(NOT out STREQUAL expected)
  message(FATAL_ERROR "play ${case}: output differs\n--- expected\n${expected}\n--- got\n${out}\n--- stderr\n${err}")
endif()
