# Shared build settings and the helper that turns a source folder into a subsystem library.

set(KR_WARNINGS -Wall -Wextra -Wno-unused-parameter -Wno-missing-field-initializers)
if(KORVANE_WERROR)
  list(APPEND KR_WARNINGS -Werror)
  # GCC 12 at -O3 reports std::string's own inlined code (char_traits copies) as overlapping or
  # uninitialized in several files: false alarms of that compiler's optimiser, gone in later
  # versions. In its Release builds they stay warnings rather than failing the build.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    list(APPEND KR_WARNINGS $<$<CONFIG:Release>:-Wno-error=restrict>
         $<$<CONFIG:Release>:-Wno-error=maybe-uninitialized>)
  endif()
endif()

if(KORVANE_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
  add_compile_definitions(KR_ASSERTIONS)  # KR_ASSERT (platform/Assert.h) stays on
endif()

# The fuzz build instruments every library for libFuzzer and runs it under the sanitizers.
if(KORVANE_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
  add_compile_definitions(KR_ASSERTIONS)  # KR_ASSERT (platform/Assert.h) stays on
endif()

# kr_subsystem(folder [EXCLUDE subfolder...] DEPS target...): every .cpp of src/<folder> becomes
# library kr_<folder>, except those of the subfolders named in EXCLUDE (libraries of their own).
function(kr_subsystem folder)
  cmake_parse_arguments(ARG "" "" "EXCLUDE;DEPS" ${ARGN})
  file(GLOB_RECURSE srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  foreach(sub ${ARG_EXCLUDE})
    list(FILTER srcs EXCLUDE REGEX "^${CMAKE_CURRENT_SOURCE_DIR}/${sub}/")
  endforeach()
  if(srcs)
    add_library(kr_${folder} STATIC ${srcs})
    target_include_directories(kr_${folder} PUBLIC ${CMAKE_SOURCE_DIR}/src)
    target_compile_options(kr_${folder} PRIVATE ${KR_WARNINGS})
    target_link_libraries(kr_${folder} PUBLIC ${ARG_DEPS})
  else()
    add_library(kr_${folder} INTERFACE)
    target_include_directories(kr_${folder} INTERFACE ${CMAKE_SOURCE_DIR}/src)
    target_link_libraries(kr_${folder} INTERFACE ${ARG_DEPS})
  endif()
endfunction()

# kr_test(folder DEPS ...): every .cpp of tests/<folder> becomes the test program kr_test_<folder>.
function(kr_test folder)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB_RECURSE srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*.cpp)
  if(NOT srcs)
    return()
  endif()
  add_executable(kr_test_${folder} ${srcs})
  target_compile_options(kr_test_${folder} PRIVATE ${KR_WARNINGS})
  target_include_directories(kr_test_${folder} PRIVATE ${CMAKE_SOURCE_DIR}/tests ${CMAKE_SOURCE_DIR}/src)
  target_link_libraries(kr_test_${folder} PRIVATE ${ARG_DEPS} GTest::gtest_main)
  target_compile_definitions(kr_test_${folder} PRIVATE
    KR_SOURCE_DIR="${CMAKE_SOURCE_DIR}" KR_BINARY_DIR="${CMAKE_BINARY_DIR}")
  # Every property value here must be a single list element: a list such as "A=1;B=2" is split
  # on its way through the discovery script, and all but its first variable would be lost. So
  # the second variable comes as an environment modification.
  gtest_discover_tests(kr_test_${folder} DISCOVERY_MODE PRE_TEST
    PROPERTIES ENVIRONMENT "SDL_VIDEODRIVER=offscreen"
               ENVIRONMENT_MODIFICATION "SDL_AUDIODRIVER=set:dummy")
endfunction()
