# The table of code page 932 double-byte characters that the POSIX build
# decodes archive names with.  It is made at configure time by running
# gen_cp932_table.cpp against the system's iconv, which must provide
# Microsoft's "CP932" mapping (glibc's does; its gconv modules come with the
# C library).  Configuring stops with the reason when it cannot be made.
#
# ravelkit_cp932_table(<output file>)
function(ravelkit_cp932_table out)
  set(generator ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/gen_cp932_table.cpp)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${generator})
  set(needs "Names in archives are decoded from code page 932 with a table made from iconv's CP932 converter")

  find_package(Iconv)
  if(NOT Iconv_FOUND)
    message(FATAL_ERROR "${needs}, but no iconv was found.")
  endif()
  if(CMAKE_CROSSCOMPILING AND NOT CMAKE_CROSSCOMPILING_EMULATOR)
    message(FATAL_ERROR "${needs}; the converter is checked by running a program at configure time, "
                        "which needs CMAKE_CROSSCOMPILING_EMULATOR when cross-compiling.")
  endif()

  get_filename_component(dir ${out} DIRECTORY)
  file(MAKE_DIRECTORY ${dir})
  try_run(run_result compile_result ${CMAKE_BINARY_DIR}/cp932-table ${generator}
    LINK_LIBRARIES Iconv::Iconv
    COMPILE_OUTPUT_VARIABLE compile_output
    RUN_OUTPUT_VARIABLE run_output
    ARGS ${out}.new)
  if(NOT compile_result)
    message(FATAL_ERROR "${needs}, and the program that makes it does not compile:\n${compile_output}")
  endif()
  if(NOT run_result EQUAL 0)
    string(STRIP "${run_output}" reason)
    message(FATAL_ERROR "${needs}, and this system's cannot serve: ${reason}")
  endif()
  # Copied only when it changed, so that reconfiguring rebuilds nothing.
  configure_file(${out}.new ${out} COPYONLY)
  file(REMOVE ${out}.new)
endfunction()
