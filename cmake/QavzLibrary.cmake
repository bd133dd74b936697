# qavz_library(NAME DIR): a static library of every .cpp in DIR (not main.cpp),
# with the project root on the include path. Core libraries get no SDL or other
# platform include path: only platform/ may include those headers.
function(qavz_library name dir)
  file(GLOB sources CONFIGURE_DEPENDS "${dir}/*.cpp")
  list(FILTER sources EXCLUDE REGEX "/main\\.cpp$")
  if(NOT sources)
    set(sources "${PROJECT_SOURCE_DIR}/cmake/empty.cpp")
  endif()
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC "${PROJECT_SOURCE_DIR}")
  target_link_libraries(${name} PUBLIC Threads::Threads)
endfunction()
