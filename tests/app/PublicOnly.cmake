# Compiles DIR/public.cpp and DIR/private.cpp with the flags in DIR/flags.rsp (the include path
# the shared library gives its users): the first must compile, the second must not find its
# header.
execute_process(COMMAND ${COMPILER} @${DIR}/flags.rsp -fsyntax-only ${DIR}/public.cpp
                RESULT_VARIABLE code ERROR_VARIABLE errors)
if(NOT code EQUAL 0)
  message(FATAL_ERROR "a public header does not compile with the library's include path:\n${errors}")
endif()
execute_process(COMMAND ${COMPILER} @${DIR}/flags.rsp -fsyntax-only ${DIR}/private.cpp
                RESULT_VARIABLE code ERROR_VARIABLE errors)
if(code EQUAL 0)
  message(FATAL_ERROR "a private header compiles with the library's include path: src/ leaks "
                      "to its users")
endif()
if(NOT errors MATCHES "db/Internals.h: No such file")
  message(FATAL_ERROR "the private header failed for another reason:\n${errors}")
endif()
