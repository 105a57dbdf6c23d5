# Fails when examples/sample.dat is not what make_sample writes now, or when
# the tool's listing of it, run from its folder on relative paths, is not
# examples/sample.txt.
execute_process(COMMAND "${MAKE_SAMPLE}" "${OUT}" RESULT_VARIABLE made)
if(NOT made EQUAL 0)
  message(FATAL_ERROR "make_sample failed")
endif()
execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files "${OUT}" "${SAMPLE}" RESULT_VARIABLE differs)
if(NOT differs EQUAL 0)
  message(FATAL_ERROR "examples/sample.dat is out of date: run make_sample examples/sample.dat")
endif()

get_filename_component(work "${OUT}" DIRECTORY)
set(work "${work}/sample-run")
file(REMOVE_RECURSE "${work}")
file(MAKE_DIRECTORY "${work}")
file(COPY "${SAMPLE}" DESTINATION "${work}")
execute_process(COMMAND "${TOOL}" sample.dat out WORKING_DIRECTORY "${work}"
                OUTPUT_VARIABLE listing RESULT_VARIABLE status)
file(READ "${LISTING}" expected)
if(NOT status EQUAL 0 OR NOT listing STREQUAL expected)
  message(FATAL_ERROR "listing of examples/sample.dat (status ${status}) differs from examples/sample.txt:\n${listing}")
endif()
if(NOT EXISTS "${work}/out/readme.txt")
  message(FATAL_ERROR "no out/readme.txt beside the sample")
endif()
