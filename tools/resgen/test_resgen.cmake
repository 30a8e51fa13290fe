# Drives resgen for ctest: draws the artwork into a scratch folder and checks it in one of three ways.
# valid: the images pass resgen's own checks; deterministic: two runs give the same bytes; committed: Res/ is current.
cmake_minimum_required(VERSION 3.21)

foreach(_var RESGEN MODE WORK RES)
  if(NOT DEFINED ${_var})
    message(FATAL_ERROR "test_resgen.cmake needs -D${_var}=...")
  endif()
endforeach()

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE _rc)
  if(NOT _rc EQUAL 0)
    message(FATAL_ERROR "failed (${_rc}): ${ARGN}")
  endif()
endfunction()

file(REMOVE_RECURSE "${WORK}")
run("${RESGEN}" "${WORK}/a")

if(MODE STREQUAL "valid")
  run("${RESGEN}" --check "${WORK}/a")
elseif(MODE STREQUAL "deterministic")
  run("${RESGEN}" "${WORK}/b")
  file(GLOB _files RELATIVE "${WORK}/a" "${WORK}/a/*")
  list(LENGTH _files _count)
  if(NOT _count EQUAL 43)
    message(FATAL_ERROR "expected 43 files, resgen wrote ${_count}")
  endif()
  foreach(_f IN LISTS _files)
    execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files "${WORK}/a/${_f}" "${WORK}/b/${_f}"
                    RESULT_VARIABLE _same)
    if(NOT _same EQUAL 0)
      message(FATAL_ERROR "${_f} differs between two runs")
    endif()
  endforeach()
elseif(MODE STREQUAL "committed")
  # Compared with a tolerance so that a newer rasteriser does not fail the build,
  # while a drawing change that was never regenerated into Res/ still does.
  run("${RESGEN}" --check "${RES}")
  run("${RESGEN}" --compare "${WORK}/a" "${RES}")
else()
  message(FATAL_ERROR "unknown MODE ${MODE}")
endif()
