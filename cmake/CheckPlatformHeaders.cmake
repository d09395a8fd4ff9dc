# Fails when a header of the operating system or of a platform library is included outside the
# platform layer: SDL, Dear ImGui, the audio, CD and video libraries, ENet and the POSIX headers
# (dlfcn, unistd, fcntl, dirent, sys/..., ...) only in src/platform; OpenGL's headers there and in
# the OpenGL back end of graphics (src/graphics/opengl), whose own headers nothing else includes:
# the program picks its graphics device at the platform edge.
#   cmake -DSRC=<src folder> -P CheckPlatformHeaders.cmake
set(include_line "^[ \t]*#[ \t]*include[ \t]*[<\"]")
set(system "(SDL|imgui|AL/|sndfile|fluidsynth|enet/|cdio/|libav|libsw|dlfcn\\.h|unistd\\.h|fcntl\\.h|dirent\\.h|fnmatch\\.h|glob\\.h|sys/|sched\\.h|spawn\\.h|signal\\.h|pthread\\.h|poll\\.h|termios\\.h|pwd\\.h|grp\\.h|netdb\\.h|netinet/|arpa/|libgen\\.h|utime\\.h|wordexp\\.h)")
set(gl "(GL/|GLES|EGL/|KHR/)")
file(GLOB_RECURSE files ${SRC}/*.h ${SRC}/*.cpp)
set(bad "")
foreach(f ${files})
  if(f MATCHES "/src/platform/")
    continue()
  endif()
  set(forbidden "${include_line}${system}")
  if(NOT f MATCHES "/src/graphics/opengl/")
    string(APPEND forbidden "|${include_line}${gl}|${include_line}graphics/opengl/")
  endif()
  file(STRINGS ${f} lines REGEX "${forbidden}")
  if(lines)
    list(APPEND bad ${f})
  endif()
endforeach()
if(bad)
  string(REPLACE ";" "\n  " bad "${bad}")
  message(FATAL_ERROR "Platform headers outside src/platform:\n  ${bad}")
endif()
