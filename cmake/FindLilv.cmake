# SPDX-License-Identifier: GPL-3.0-or-later
# Finds the lilv LV2 host library (Debian: liblilv-dev). Another location: -DLILV_INCLUDE_DIR=<dir holding
# lilv/lilv.h> and -DLILV_LIBRARY=<the library>. Defines LILV_FOUND and the target Lilv::Lilv.
find_package(PkgConfig QUIET)
if(PkgConfig_FOUND)
  pkg_check_modules(PC_LILV QUIET lilv-0)
endif()

find_path(LILV_INCLUDE_DIR lilv/lilv.h HINTS ${PC_LILV_INCLUDE_DIRS} PATH_SUFFIXES lilv-0
          DOC "Folder holding lilv/lilv.h")
find_library(LILV_LIBRARY NAMES lilv-0 lilv HINTS ${PC_LILV_LIBRARY_DIRS} DOC "The lilv library")

include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(Lilv REQUIRED_VARS LILV_LIBRARY LILV_INCLUDE_DIR VERSION_VAR PC_LILV_VERSION)

if(LILV_FOUND AND NOT TARGET Lilv::Lilv)
  add_library(Lilv::Lilv UNKNOWN IMPORTED)
  set_target_properties(Lilv::Lilv PROPERTIES IMPORTED_LOCATION "${LILV_LIBRARY}"
                                              INTERFACE_INCLUDE_DIRECTORIES "${LILV_INCLUDE_DIR}")
endif()
mark_as_advanced(LILV_INCLUDE_DIR LILV_LIBRARY)
