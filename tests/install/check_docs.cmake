# Builds the `docs` target (no warning allowed), then runs the same reference on a header
# with one function more and no comment above it: that must fail, naming the function.
# Run with -DBUILD= -DDOCS= -DDOXYGEN= -DHEADER=
cmake_minimum_required(VERSION 3.25)
execute_process(COMMAND "${CMAKE_COMMAND}" --build "${BUILD}" --target docs RESULT_VARIABLE rc
                OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "the docs target failed:\n${out}")
endif()
foreach(page index.html guides/database.md)
  if(NOT EXISTS "${DOCS}/html/${page}")
    message(FATAL_ERROR "docs: no ${page}")
  endif()
endforeach()
file(GLOB groups "${DOCS}/html/group__*.html")
list(LENGTH groups count)
if(count LESS 6)
  message(FATAL_ERROR "docs: only ${count} family and section pages")
endif()

set(work "${DOCS}/check")
file(REMOVE_RECURSE "${work}")
file(MAKE_DIRECTORY "${work}/input")
file(READ "${HEADER}" header)
string(REPLACE "\nTQ_EXTERN_C_END" "\nTQ_API int tqMisc_withoutContract(void) TQ_NOEXCEPT;\n\nTQ_EXTERN_C_END" header "${header}")
file(WRITE "${work}/orvane.h" "${header}")
execute_process(COMMAND "${BUILD}/bin/orvane_header2dox" "${work}/orvane.h" OUTPUT_FILE "${work}/input/orvane.h"
                RESULT_VARIABLE rc)
file(READ "${DOCS}/Doxyfile" doxyfile)
string(REPLACE "${DOCS}" "${work}" doxyfile "${doxyfile}")
file(WRITE "${work}/Doxyfile" "${doxyfile}")
execute_process(COMMAND "${DOXYGEN}" "${work}/Doxyfile" WORKING_DIRECTORY "${work}" RESULT_VARIABLE rc
                OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(rc EQUAL 0 OR NOT out MATCHES "tqMisc_withoutContract")
  message(FATAL_ERROR "an undocumented function did not fail the docs (status ${rc}):\n${out}")
endif()
file(REMOVE_RECURSE "${work}")
