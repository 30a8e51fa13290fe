# Drives resgen for ctest: draws the artwork into a scratch folder and checks it in one of three ways.
# valid: the images pass resgen's own checks; deterministic: two runs give the same bytes; committed: Res/ is current;
# catches: the checks fail a set whose portrait readout frame was swapped for the landscape one.
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
elseif(MODE STREQUAL "catches")
  # Same size, so only the finer checks can tell: no proper complement caption, a panel too narrow.
  file(COPY_FILE "${WORK}/a/side_numberframe.png" "${WORK}/a/up_numberframe.png")
  execute_process(COMMAND "${RESGEN}" --check "${WORK}/a" RESULT_VARIABLE _rc ERROR_VARIABLE _err OUTPUT_QUIET)
  if(_rc EQUAL 0)
    message(FATAL_ERROR "resgen --check passed a swapped number frame")
  endif()
  foreach(_want "up_numberframe.png \"OTHER SIDE\": caption" "up_numberframe.png: the panel is not at")
    string(FIND "${_err}" "${_want}" _at)
    if(_at EQUAL -1)
      message(FATAL_ERROR "resgen --check did not report '${_want}':\n${_err}")
    endif()
  endforeach()
else()
  message(FATAL_ERROR "unknown MODE ${MODE}")
endif()
