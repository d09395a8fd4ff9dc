# The test of CheckLayering.cmake: on a small fake tree, includes of direct and transitive
# dependencies pass and an include of a folder above fails, naming the file and the folder; a
# folder that makes its library by hand is checked too, against what it links.
#   cmake -DCHECK=<CheckLayering.cmake> -DWORK=<scratch folder> -P TestCheckLayering.cmake
cmake_policy(VERSION 3.25)
set(src ${WORK}/layering-tree/src)

# Runs the check on the tree: it must pass, or (with REFUSES) fail with that text.
function(expect_check what)
  cmake_parse_arguments(ARG "" "REFUSES" "" ${ARGN})
  execute_process(COMMAND ${CMAKE_COMMAND} -DSRC=${src} -P ${CHECK}
                  RESULT_VARIABLE rc ERROR_VARIABLE err)
  if(ARG_REFUSES AND (rc EQUAL 0 OR NOT err MATCHES "${ARG_REFUSES}"))
    message(FATAL_ERROR "${what} was not refused:\n${err}")
  elseif(NOT ARG_REFUSES AND NOT rc EQUAL 0)
    message(FATAL_ERROR "${what} was refused:\n${err}")
  endif()
endfunction()

file(REMOVE_RECURSE ${WORK}/layering-tree)
file(WRITE ${src}/base/CMakeLists.txt "kr_subsystem(base DEPS Threads::Threads)\n")
file(WRITE ${src}/low/CMakeLists.txt "kr_subsystem(low DEPS kr_base)\n")
file(WRITE ${src}/high/CMakeLists.txt "kr_subsystem(high\n  DEPS kr_low)\n")
file(WRITE ${src}/base/Base.h "#pragma once\n#include <vector>\n")
file(WRITE ${src}/low/Low.h "#pragma once\n#include \"base/Base.h\"\n#include \"low/Other.h\"\n")
file(WRITE ${src}/high/High.cpp "#include \"base/Base.h\"\n#include \"low/Low.h\"\n")

expect_check("a tree that keeps its layers")

file(WRITE ${src}/low/Bad.cpp "#include \"low/Low.h\"\n  #  include \"high/High.h\"\n")
expect_check("an include of a folder above" REFUSES "low/Bad.cpp includes high/")
file(REMOVE ${src}/low/Bad.cpp)

# A library made with add_library: its kr_ links are its dependencies, and one that links none
# may include nothing but itself.
file(WRITE ${src}/top/CMakeLists.txt
  "add_library(kr_top STATIC Top.cpp)\ntarget_link_libraries(kr_top PUBLIC kr_high kr_top_extra)\n")
file(WRITE ${src}/top/Top.cpp "#include \"base/Base.h\"\n#include \"high/High.h\"\n")
file(WRITE ${src}/edge/CMakeLists.txt
  "add_library(kr_edge STATIC Edge.cpp)\ntarget_link_libraries(kr_edge PRIVATE Threads::Threads)\n")
file(WRITE ${src}/edge/Edge.cpp "#include \"edge/Edge.h\"\n")
expect_check("libraries made by hand that keep their layers")
file(WRITE ${src}/edge/Up.cpp "#include \"base/Base.h\"\n")
expect_check("an include above a library made by hand" REFUSES "edge/Up.cpp includes base/")
file(REMOVE_RECURSE ${WORK}/layering-tree)
