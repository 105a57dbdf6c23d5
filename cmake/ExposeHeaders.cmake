# Header-only libraries are taken from the system, but only their own
# headers are put on the include path: a folder in the build tree links to
# them alone.  The cross build (MinGW) would otherwise see every host header
# in /usr/include.
#
# ravelkit_expose_headers(<variable> <header> <package>)
#   Finds <header> (a path such as nlohmann/json.hpp) and makes
#   ${CMAKE_BINARY_DIR}/exposed/<first folder of header> lead to its folder,
#   or to the header itself when it has no folder.  Sets <variable> to
#   ${CMAKE_BINARY_DIR}/exposed.  Stops with a message naming the Debian
#   package when the header is missing.
function(ravelkit_expose_headers variable header package)
  string(MAKE_C_IDENTIFIER "RAVELKIT_${header}_DIR" cache)
  find_path(${cache} ${header} CMAKE_FIND_ROOT_PATH_BOTH)
  if(NOT ${cache})
    message(FATAL_ERROR "${header} not found: install ${package} (scripts/deps.sh)")
  endif()
  string(REGEX MATCH "^[^/]+" first ${header})
  set(exposed ${CMAKE_BINARY_DIR}/exposed)
  file(MAKE_DIRECTORY ${exposed})
  if(NOT EXISTS ${exposed}/${first})
    file(CREATE_LINK ${${cache}}/${first} ${exposed}/${first} SYMBOLIC)
  endif()
  set(${variable} ${exposed} PARENT_SCOPE)
endfunction()
