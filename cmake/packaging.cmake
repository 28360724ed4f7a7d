# Debian packages with CPack (`cpack -G DEB` in the build folder):
#   liborvane0      the shared library (SONAME liborvane.so.0), with a shlibs file
#   liborvane-dev   header, CMake package, pkg-config file and the unversioned link
#   orvane-tools    orvane, orvane-plugind and their manual pages
# Dependencies on Debian's libraries come from dpkg-shlibdeps. docs/packaging.md has more.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orvane)
set(CPACK_PACKAGE_VENDOR "OrvaneLib")
set(CPACK_PACKAGE_CONTACT "OrvaneLib maintainers <maintainers@orvane.invalid>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
# CPack puts a summary other than its default in front of every package's description;
# each package has its own first line instead.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${CMAKE_PROJECT_NAME} built using CMake")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL runtime dev)
if(ORVANE_BUILD_TOOLS)
  list(APPEND CPACK_COMPONENTS_ALL tools)
endif()
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
# Lets dpkg-shlibdeps find liborvane.so.0 of the runtime package for the tools.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR}/lib)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME liborvane0)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION
    "Flat C utility library for CAD host applications\n\
Strings, lists and tokens, numerics, ODBC database access, a plug-in server\n\
client and host-system services behind one flat C interface.")

set(CPACK_DEBIAN_DEV_PACKAGE_NAME liborvane-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "pkgconf | pkg-config")
set(CPACK_COMPONENT_DEV_DEPENDS runtime)
set(CPACK_COMPONENT_DEV_DESCRIPTION
    "Flat C utility library for CAD host applications (development files)\n\
The header orvane.h, the CMake package OrvaneLib and the pkg-config file orvane.")

set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME orvane-tools)
set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION utils)
set(CPACK_COMPONENT_TOOLS_DEPENDS runtime)
set(CPACK_COMPONENT_TOOLS_DESCRIPTION
    "Command-line tools of the OrvaneLib library\n\
orvane runs the library's strings, numerics, database, table, plug-in and host\n\
functions from the shell; orvane-plugind is a small plug-in server.")
include(CPack)

# The packages, used the way a Debian host uses them: built, unpacked into a scratch root
# and a host program built against that root through pkg-config. Release builds only.
if(ORVANE_BUILD_TESTS AND NOT ORVANE_SANITIZE)
  find_program(ORVANE_DPKG_DEB dpkg-deb)
  find_program(ORVANE_DPKG_SHLIBDEPS dpkg-shlibdeps)
  if(ORVANE_DPKG_DEB AND ORVANE_DPKG_SHLIBDEPS)
    add_test(NAME install.debian_packages_are_usable
      COMMAND ${CMAKE_COMMAND} -DBUILD=${PROJECT_BINARY_DIR} -DSRC=${PROJECT_SOURCE_DIR}
              -DWORK=${PROJECT_BINARY_DIR}/tests/package-check -DVERSION=${PROJECT_VERSION}
              -DSOVERSION=${PROJECT_VERSION_MAJOR} -DTOOLS=${ORVANE_BUILD_TOOLS}
              -P ${PROJECT_SOURCE_DIR}/tests/install/check_package.cmake)
    set_tests_properties(install.debian_packages_are_usable PROPERTIES TIMEOUT 300)
  endif()
endif()

include(${CMAKE_CURRENT_LIST_DIR}/docs.cmake)
