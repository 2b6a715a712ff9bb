# Helpers that let a folder's sources join their library without editing
# this build: every .cpp of the named folders belongs to the library.

# quillet_library(NAME DIR... [EXCLUDE FILE...] [LINK LIB...])
function(quillet_library name)
  cmake_parse_arguments(QL "" "" "EXCLUDE;LINK" ${ARGN})
  set(sources)
  foreach(dir IN LISTS QL_UNPARSED_ARGUMENTS)
    file(GLOB found CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${dir}/*.cpp)
    list(APPEND sources ${found})
  endforeach()
  foreach(ex IN LISTS QL_EXCLUDE)
    list(REMOVE_ITEM sources ${CMAKE_SOURCE_DIR}/${ex})
  endforeach()
  if(sources)
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR}/generated)
    target_link_libraries(${name} PUBLIC ${QL_LINK})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR}/generated)
    target_link_libraries(${name} INTERFACE ${QL_LINK})
  endif()
endfunction()

# quillet_test(NAME DIR LIBS...): one GoogleTest program per tests/ folder.
function(quillet_test name dir)
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*.cpp)
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE ${ARGN} GTest::gmock)
  quillet_test_main(${name} ${dir})
  target_compile_definitions(${name} PRIVATE
    QUILLET_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    QUILLET_TEST_DATA="${CMAKE_SOURCE_DIR}/tests/data"
    QUILLET_BINARY_DIR="${CMAKE_BINARY_DIR}")
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QTWEBENGINE_DISABLE_SANDBOX=1")
endfunction()

# A folder with its own main.cpp (one that starts a QApplication, say)
# links plain gtest; the others take gtest_main.
function(quillet_test_main name dir)
  if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/main.cpp)
    target_link_libraries(${name} PRIVATE GTest::gtest)
  else()
    target_link_libraries(${name} PRIVATE GTest::gtest_main)
  endif()
endfunction()
