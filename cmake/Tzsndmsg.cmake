# tzsndmsg_library(<name> [DEPS targets...])
# One static library per source folder, from the folder's .cpp and .h files.
function(tzsndmsg_library name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS
       ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${TZSNDMSG_INCLUDE_DIRS})
  target_link_libraries(${name} PUBLIC ${ARG_DEPS})
endfunction()

# tzsndmsg_test(<name> [DEPS targets...]): one GoogleTest binary from the folder's sources.
# Tests that need the fresh office add tzsndmsg_testsupport to DEPS.
function(tzsndmsg_test name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE tzsndmsg_testmain ${ARG_DEPS})
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST
                       PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()
