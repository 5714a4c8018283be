# SPDX-License-Identifier: GPL-3.0-or-later
# Finds the LV2 headers (Debian: lv2-dev). Another location: -DLV2_INCLUDE_DIR=<dir holding lv2/core/lv2.h>.
# Defines LV2_FOUND, LV2_INCLUDE_DIR, LV2_VERSION (from pkg-config, when known) and the target LV2::LV2.
find_package(PkgConfig QUIET)
if(PkgConfig_FOUND)
  pkg_check_modules(PC_LV2 QUIET lv2)
endif()

find_path(LV2_INCLUDE_DIR lv2/core/lv2.h HINTS ${PC_LV2_INCLUDEDIR} ${PC_LV2_INCLUDE_DIRS}
          DOC "Folder holding lv2/core/lv2.h")
set(LV2_VERSION ${PC_LV2_VERSION})

include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(LV2 REQUIRED_VARS LV2_INCLUDE_DIR VERSION_VAR LV2_VERSION)

if(LV2_FOUND AND NOT TARGET LV2::LV2)
  add_library(LV2::LV2 INTERFACE IMPORTED)
  set_target_properties(LV2::LV2 PROPERTIES INTERFACE_INCLUDE_DIRECTORIES "${LV2_INCLUDE_DIR}")
endif()
mark_as_advanced(LV2_INCLUDE_DIR)
