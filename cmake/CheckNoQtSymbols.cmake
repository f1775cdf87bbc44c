# Fails when a library given after the script needs a Qt symbol: `nm -u`
# (demangled) of each lists what it takes from elsewhere.
#
#   cmake -DNM=<nm> -P CheckNoQtSymbols.cmake <library>...
set(found "")
math(EXPR last "${CMAKE_ARGC} - 1")
foreach(i RANGE 4 ${last})
  set(library "${CMAKE_ARGV${i}}")
  execute_process(COMMAND ${NM} -u -C "${library}"
    OUTPUT_VARIABLE symbols RESULT_VARIABLE failed ERROR_VARIABLE errors)
  if(failed)
    message(FATAL_ERROR "${NM} -u ${library}: ${errors}")
  endif()
  string(REGEX MATCHALL "(^|[^A-Za-z0-9_])(Q[A-Z][A-Za-z0-9]*::|Qt::|qt_)[^\n]*" qt "${symbols}")
  if(qt)
    get_filename_component(name "${library}" NAME)
    list(GET qt 0 first)
    string(STRIP "${first}" first)
    list(LENGTH qt count)
    string(APPEND found "  ${name}: ${count} Qt symbols, e.g. ${first}\n")
  endif()
endforeach()
if(found)
  message(FATAL_ERROR "Qt symbols needed by libraries that must not use Qt:\n${found}")
endif()
math(EXPR count "${CMAKE_ARGC} - 4")
message(STATUS "${count} libraries need no Qt symbol")
