# Fails when examples/sample.dat is not what make_sample writes now.
execute_process(COMMAND "${MAKE_SAMPLE}" "${OUT}" RESULT_VARIABLE made)
if(NOT made EQUAL 0)
  message(FATAL_ERROR "make_sample failed")
endif()
execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files "${OUT}" "${SAMPLE}" RESULT_VARIABLE differs)
if(NOT differs EQUAL 0)
  message(FATAL_ERROR "examples/sample.dat is out of date: run make_sample examples/sample.dat")
endif()
