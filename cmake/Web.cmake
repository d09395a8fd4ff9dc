# The web runner: the same program built with Emscripten for WebAssembly (emcmake cmake ...).
# The C libraries come static from scripts/build-web-libs, in KORVANE_WEB_DEPS; what a browser
# cannot have (the window system, native libraries, UDP, the sound and video libraries) is left
# out by the platform layer's web back end. No tests, fuzzing or benchmarks are built here: the
# browser tests (tests/web) drive the page.
set(KORVANE_WEB_DEPS "${CMAKE_SOURCE_DIR}/build-web/deps" CACHE PATH
    "Prefix of the web runner's libraries (scripts/build-web-libs)")
if(NOT EXISTS "${KORVANE_WEB_DEPS}/lib/libz.a")
  message(FATAL_ERROR "No web libraries in ${KORVANE_WEB_DEPS}: run scripts/build-web-libs")
endif()
set(KORVANE_TESTS OFF)
set(KORVANE_FUZZ_TESTS OFF)
set(KORVANE_BENCH OFF)

# kr_web_library(target archive...): an imported library of the prefix.
function(kr_web_library target)
  add_library(${target} INTERFACE IMPORTED GLOBAL)
  set(files "")
  foreach(a ${ARGN})
    list(APPEND files "${KORVANE_WEB_DEPS}/lib/${a}")
  endforeach()
  set_target_properties(${target} PROPERTIES INTERFACE_LINK_LIBRARIES "${files}"
                        INTERFACE_INCLUDE_DIRECTORIES "${KORVANE_WEB_DEPS}/include")
endfunction()
kr_web_library(ZLIB::ZLIB libz.a)
kr_web_library(PNG::PNG libpng16.a libz.a)
kr_web_library(JPEG::JPEG libjpeg.a)
kr_web_library(GIF::GIF libgif.a)
kr_web_library(Freetype::Freetype libfreetype.a)
set_property(TARGET Freetype::Freetype APPEND PROPERTY INTERFACE_INCLUDE_DIRECTORIES
             "${KORVANE_WEB_DEPS}/include/freetype2")
kr_web_library(PkgConfig::SQLITE3 libsqlite3.a)
# Header-only libraries, copied into the prefix.
kr_web_library(nlohmann_json::nlohmann_json)
kr_web_library(tomlplusplus::tomlplusplus)
# One thread: a browser page without cross-origin isolation has no shared memory.
add_library(Threads::Threads INTERFACE IMPORTED GLOBAL)

# Games report errors by exceptions, which must be caught in the browser as well. SSE2
# intrinsics map to WebAssembly's SIMD. The toolchain's C++ library lacks a little of C++20.
add_compile_options(-fexceptions -msimd128 -msse2
                    "SHELL:-include ${CMAKE_SOURCE_DIR}/src/platform/web/StdCompat.h")
# The program: korvane.js and korvane.wasm. Its loop runs as it does natively and hands control
# back to the browser where it waits (ASYNCIFY, limited to the functions on the way to those
# waits: src/platform/web/Waits.txt, written without its notes into a file named after its
# contents, so that a change links again); the page (index.html from `korvane build
# --web`) sets its arguments, puts the game in the file system and keeps the writable folders
# in IndexedDB (IDBFS). The free fonts that fontconfig finds natively come along in /fonts.
set(kr_web_fonts /usr/share/fonts/truetype/liberation)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             "${CMAKE_SOURCE_DIR}/src/platform/web/WebLibrary.js")
set(kr_waits_source "${CMAKE_SOURCE_DIR}/src/platform/web/Waits.txt")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${kr_waits_source}")
file(STRINGS "${kr_waits_source}" kr_waits REGEX "^[^#]")
string(JOIN "\n" kr_waits_text ${kr_waits})
string(MD5 kr_waits_hash "${kr_waits_text}")
set(kr_waits_file "${CMAKE_BINARY_DIR}/waits-${kr_waits_hash}.txt")
file(WRITE "${kr_waits_file}" "${kr_waits_text}")
# KORVANE_WEB_CHECK_WAITS: a runner that stops with an error where a function that is not listed
# would be suspended, with the functions' names kept for the browser's stack traces.
option(KORVANE_WEB_CHECK_WAITS "Web runner that checks its list of waiting functions" OFF)
set(kr_web_check "")
if(KORVANE_WEB_CHECK_WAITS)
  set(kr_web_check -sASSERTIONS=1 --profiling-funcs)
endif()
string(JOIN " " kr_web_link
  -fexceptions -sASYNCIFY -sASYNCIFY_STACK_SIZE=262144 "-sASYNCIFY_ONLY=@${kr_waits_file}"
  ${kr_web_check} --js-library ${CMAKE_SOURCE_DIR}/src/platform/web/WebLibrary.js
  -sALLOW_MEMORY_GROWTH=1 -sINITIAL_MEMORY=67108864 -sTOTAL_STACK=5242880
  -sFORCE_FILESYSTEM=1 -lidbfs.js -sENVIRONMENT=web
  -sMIN_WEBGL_VERSION=2 -sMAX_WEBGL_VERSION=2
  "-sEXPORTED_RUNTIME_METHODS=['FS','addRunDependency','removeRunDependency']"
  --preload-file ${kr_web_fonts}/LiberationSans-Regular.ttf@/fonts/LiberationSans-Regular.ttf
  --preload-file ${kr_web_fonts}/LiberationSans-Bold.ttf@/fonts/LiberationSans-Bold.ttf
  --preload-file ${kr_web_fonts}/LiberationSans-Italic.ttf@/fonts/LiberationSans-Italic.ttf
  --preload-file ${kr_web_fonts}/LiberationSerif-Regular.ttf@/fonts/LiberationSerif-Regular.ttf
  --preload-file ${kr_web_fonts}/LiberationMono-Regular.ttf@/fonts/LiberationMono-Regular.ttf
  --preload-file /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf@/fonts/DejaVuSans.ttf)
set(CMAKE_EXE_LINKER_FLAGS "${CMAKE_EXE_LINKER_FLAGS} ${kr_web_link}")
# Link-time optimisation makes the WebAssembly link several times slower for little gain.
set(CMAKE_INTERPROCEDURAL_OPTIMIZATION OFF)
