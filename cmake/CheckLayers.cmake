cmake_minimum_required(VERSION 3.25)
# Fails when a program folder includes anything but our own headers, the
# top-level platform/ and framework/ headers and the C++ standard library:
# no Qt, no system header, no platform backend, no conditional on the OS.
set(program_dirs app ui res device transfer jobs)
set(std_headers
  algorithm any array atomic bit bitset cassert cctype cerrno cfloat charconv chrono cinttypes climits clocale
  cmath compare concepts condition_variable cstdarg cstddef cstdint cstdio cstdlib cstring ctime cwchar
  deque exception functional initializer_list iomanip ios iosfwd iostream istream iterator limits list map
  memory mutex new numeric optional ostream queue random ratio set shared_mutex span sstream stack stdexcept
  string string_view system_error thread tuple type_traits typeinfo unordered_map unordered_set utility
  variant vector)
set(failures "")
foreach(dir ${program_dirs})
  file(GLOB_RECURSE sources ${ROOT}/${dir}/*.h ${ROOT}/${dir}/*.cpp)
  foreach(source ${sources})
    file(STRINGS ${source} lines REGEX "^[ \t]*#[ \t]*(include|if|ifdef|ifndef|elif)")
    foreach(line ${lines})
      if(line MATCHES "^[ \t]*#[ \t]*include[ \t]*[<\"]([^>\"]+)[>\"]")
        set(header ${CMAKE_MATCH_1})
        if(header MATCHES "^(app|ui|res|device|transfer|jobs)/")
          continue()
        elseif(header MATCHES "^(platform|framework)/[^/]+\\.h$" AND NOT header STREQUAL "platform/backend.h")
          continue()
        elseif(header IN_LIST std_headers)
          continue()
        endif()
        list(APPEND failures "${source}: ${line}")
      elseif(line MATCHES "(__linux__|_WIN32|__unix__|__APPLE__|Q_OS_)")
        list(APPEND failures "${source}: ${line}")
      endif()
    endforeach()
  endforeach()
endforeach()
if(failures)
  list(JOIN failures "\n" text)
  message(FATAL_ERROR "Program code reaches past platform/ and framework/:\n${text}")
endif()
message(STATUS "program includes are clean")
