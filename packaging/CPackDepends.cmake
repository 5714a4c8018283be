# SPDX-License-Identifier: GPL-3.0-or-later
# Read by cpack: the Debian package's Depends, found by dpkg-shlibdeps from the shared libraries the installed
# programs and plug-ins link. CPack's own lookup is left off because it also adds ldconfig calls to maintainer
# scripts whenever a module lies below /usr/lib, and the scripts would keep the package's entry in dpkg's database
# after dpkg -r.
if(CPACK_GENERATOR STREQUAL "DEB")
  include(${CPACK_QUILLMERE_BINARIES_FILE})
  set(work ${CPACK_PACKAGE_DIRECTORY}/shlibdeps)
  file(MAKE_DIRECTORY ${work}/debian)
  file(WRITE ${work}/debian/control "Source: quillmere\n\nPackage: quillmere\nArchitecture: any\n")
  set(arguments)
  foreach(binary IN LISTS QUILLMERE_PACKAGE_BINARIES)
    list(APPEND arguments -e${binary})
  endforeach()
  execute_process(COMMAND dpkg-shlibdeps -O ${arguments} WORKING_DIRECTORY ${work}
                  OUTPUT_VARIABLE found ERROR_VARIABLE problems RESULT_VARIABLE status)
  if(NOT status EQUAL 0 OR NOT found MATCHES "^shlibs:Depends=")
    message(FATAL_ERROR "dpkg-shlibdeps found no dependencies (${status}): ${problems}")
  endif()
  string(REGEX REPLACE "^shlibs:Depends=" "" found "${found}")
  string(STRIP "${found}" CPACK_DEBIAN_PACKAGE_DEPENDS)
endif()
