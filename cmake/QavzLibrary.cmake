# qavz_library(NAME DIR [DEPENDS LIB...]): a static library of every .cpp in
# DIR (not main.cpp), with the project root on the include path, linked to the
# libraries of the layers below it. Core libraries get no SDL or other
# platform include path: only platform/ may include those headers. The
# layers link one way only, so a new upward dependency fails to link (and
# scripts/check_layers.sh names the include that made it).
function(qavz_library name dir)
  cmake_parse_arguments(ARG "" "" "DEPENDS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS "${dir}/*.cpp")
  list(FILTER sources EXCLUDE REGEX "/main\\.cpp$")
  if(NOT sources)
    set(sources "${PROJECT_SOURCE_DIR}/cmake/empty.cpp")
  endif()
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC "${PROJECT_SOURCE_DIR}")
  target_link_libraries(${name} PUBLIC ${ARG_DEPENDS} Threads::Threads)
endfunction()
