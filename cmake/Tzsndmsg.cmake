# tzsndmsg_library(<name> [DEPS targets...])
# One static library per source folder, from the folder's .cpp and .h files. Its headers are
# reached as "<folder>/X.h" through a folder of the build that holds one link, named like the
# source folder, to it: that folder is on the include path of the library and of what links it,
# so a library sees the public headers, its own folder and the folders of what it links (directly
# or through them), and "<folder>/X.h" of a library it does not link is not found.
function(tzsndmsg_library name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS
       ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  add_library(${name} STATIC ${sources})
  get_filename_component(folder ${CMAKE_CURRENT_SOURCE_DIR} NAME)
  set(headers ${CMAKE_CURRENT_BINARY_DIR}/headers)
  file(MAKE_DIRECTORY ${headers})
  file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR} ${headers}/${folder} SYMBOLIC)
  target_include_directories(${name} PUBLIC ${TZSNDMSG_PUBLIC_INCLUDE_DIRS}
                                            $<BUILD_INTERFACE:${headers}>)
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

# tzsndmsg_forbid_links(<target> <forbidden targets...>)
# Stops the configuration when the target links any of them, directly or through what it
# links: a layer that must stay below the windows.
function(tzsndmsg_forbid_links target)
  set(seen "")
  set(queue ${target})
  while(queue)
    list(POP_FRONT queue current)
    if(current IN_LIST seen)
      continue()
    endif()
    list(APPEND seen ${current})
    if(NOT TARGET ${current})
      continue()
    endif()
    get_target_property(links ${current} INTERFACE_LINK_LIBRARIES)
    get_target_property(own ${current} LINK_LIBRARIES)
    foreach(link IN LISTS links own)
      if(link AND NOT link MATCHES "NOTFOUND$")
        if(link IN_LIST ARGN)
          message(FATAL_ERROR "${target} must not link ${link} (through ${current})")
        endif()
        list(APPEND queue ${link})
      endif()
    endforeach()
  endwhile()
endfunction()
