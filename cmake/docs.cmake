# `docs`: the API reference in HTML (build/.../docs/html/index.html), from the contract
# comments of include/orvane.h (Debian: doxygen). Any Doxygen warning fails the target,
# so does a declaration without a contract comment; see docs/api/header2dox.cpp.
find_package(Doxygen 1.9 QUIET)
if(NOT DOXYGEN_FOUND)
  return()
endif()
set(ORVANE_DOCS_DIR ${PROJECT_BINARY_DIR}/docs)
set(ORVANE_DOCS_HEADER ${ORVANE_DOCS_DIR}/input/orvane.h)
add_executable(orvane_header2dox EXCLUDE_FROM_ALL ${PROJECT_SOURCE_DIR}/docs/api/header2dox.cpp)
add_custom_command(OUTPUT ${ORVANE_DOCS_HEADER}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${ORVANE_DOCS_DIR}/input
  COMMAND orvane_header2dox ${PROJECT_SOURCE_DIR}/include/orvane.h > ${ORVANE_DOCS_HEADER}
  DEPENDS orvane_header2dox ${PROJECT_SOURCE_DIR}/include/orvane.h
  VERBATIM)
configure_file(${PROJECT_SOURCE_DIR}/docs/api/Doxyfile.in ${ORVANE_DOCS_DIR}/Doxyfile @ONLY)
file(GLOB orvane_guides ${PROJECT_SOURCE_DIR}/docs/*.md)
add_custom_target(docs
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${ORVANE_DOCS_DIR}/html
  COMMAND Doxygen::doxygen ${ORVANE_DOCS_DIR}/Doxyfile
  COMMAND ${CMAKE_COMMAND} -E make_directory ${ORVANE_DOCS_DIR}/html/guides
  COMMAND ${CMAKE_COMMAND} -E copy ${orvane_guides} ${ORVANE_DOCS_DIR}/html/guides
  DEPENDS ${ORVANE_DOCS_HEADER} ${PROJECT_SOURCE_DIR}/docs/api/families.dox
  WORKING_DIRECTORY ${ORVANE_DOCS_DIR}
  COMMENT "API reference in ${ORVANE_DOCS_DIR}/html"
  VERBATIM)

# The reference builds without a warning, and a declaration without a contract comment
# would fail it. Release builds only.
if(ORVANE_BUILD_TESTS AND NOT ORVANE_SANITIZE)
  add_test(NAME docs.reference_builds_and_requires_contracts
    COMMAND ${CMAKE_COMMAND} -DBUILD=${PROJECT_BINARY_DIR} -DDOCS=${ORVANE_DOCS_DIR}
            -DDOXYGEN=$<TARGET_FILE:Doxygen::doxygen> -DHEADER=${PROJECT_SOURCE_DIR}/include/orvane.h
            -P ${PROJECT_SOURCE_DIR}/tests/install/check_docs.cmake)
  set_tests_properties(docs.reference_builds_and_requires_contracts PROPERTIES TIMEOUT 300)
endif()

# The guard on the binary interface: `abi_baseline` writes abi/liborvane.so.0.abi from this
# build; the test compares the library with it (builds with debug information only, as
# the comparison reads the types from it). See docs/abi.md.
find_program(ORVANE_ABIDW abidw)
find_program(ORVANE_ABIDIFF abidiff)
if(ORVANE_ABIDW AND ORVANE_ABIDIFF)
  set(orvane_abi_args -DLIBRARY=$<TARGET_FILE:orvane> -DSRC=${PROJECT_SOURCE_DIR} -DABIDW=${ORVANE_ABIDW}
      -DABIDIFF=${ORVANE_ABIDIFF} -P ${PROJECT_SOURCE_DIR}/tests/install/check_abi.cmake)
  add_custom_target(abi_baseline COMMAND ${CMAKE_COMMAND} -DMODE=baseline ${orvane_abi_args} DEPENDS orvane VERBATIM)
  if(ORVANE_BUILD_TESTS AND NOT ORVANE_SANITIZE AND CMAKE_BUILD_TYPE MATCHES "^(RelWithDebInfo|Debug)$")
    add_test(NAME abi.liborvane_matches_baseline COMMAND ${CMAKE_COMMAND} -DMODE=check ${orvane_abi_args})
    set_tests_properties(abi.liborvane_matches_baseline PROPERTIES TIMEOUT 120)
  endif()
endif()
