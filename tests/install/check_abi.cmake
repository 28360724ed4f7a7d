# The binary interface of liborvane.so.0 against its baseline abi/liborvane.so.0.abi
# (libabigail; Debian: abigail-tools). -DMODE=baseline writes the baseline anew from the
# build; -DMODE=check fails on any change other than added functions (docs/abi.md).
# Run with -DMODE= -DLIBRARY= -DSRC= -DABIDW= -DABIDIFF=
cmake_minimum_required(VERSION 3.25)
set(baseline "${SRC}/abi/liborvane.so.0.abi")
set(options --headers-dir "${SRC}/include" --drop-private-types --exported-interfaces-only)
if(MODE STREQUAL "baseline")
  execute_process(COMMAND "${ABIDW}" ${options} --no-corpus-path --no-comp-dir-path --no-show-locs "${LIBRARY}"
                  OUTPUT_VARIABLE abi RESULT_VARIABLE rc ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "abidw failed (${rc}): ${err}")
  endif()
  # Source paths relative to the checkout, so that the file does not depend on where it is.
  string(REPLACE "path='${SRC}/" "path='" abi "${abi}")
  file(WRITE "${baseline}" "${abi}")
  message(STATUS "ABI baseline written: ${baseline}")
  return()
endif()
execute_process(COMMAND "${ABIDIFF}" --no-added-syms --headers-dir2 "${SRC}/include" --drop-private-types
                        --exported-interfaces-only "${baseline}" "${LIBRARY}"
                RESULT_VARIABLE rc OUTPUT_VARIABLE report ERROR_VARIABLE report)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "liborvane.so.0 no longer matches abi/liborvane.so.0.abi (abidiff status ${rc}):\n${report}\n"
                      "A change that breaks the interface needs a new SONAME; see docs/abi.md.")
endif()
