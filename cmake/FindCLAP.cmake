# SPDX-License-Identifier: GPL-3.0-or-later
# Finds the CLAP plug-in interface headers (C, header only). Debian 12 ships them in the package dpf-source at
# /usr/share/dpf/distrho/src/clap/; another location is given with -DCLAP_INCLUDE_DIR=<folder holding clap/>.
#   CLAP_FOUND, CLAP_INCLUDE_DIR, CLAP_VERSION ("1.1.1")
#   CLAP::CLAP  interface target: sources include "clap/entry.h", "clap/ext/params.h" and so on.
# The headers are platform-neutral, so a cross-build finds them outside its root path as well.
find_path(CLAP_INCLUDE_DIR
  NAMES clap/entry.h
  PATHS /usr/share/dpf/distrho/src
  DOC "Folder that holds the CLAP headers' clap/ folder"
  NO_CMAKE_FIND_ROOT_PATH)

if(CLAP_INCLUDE_DIR AND EXISTS "${CLAP_INCLUDE_DIR}/clap/version.h")
  file(STRINGS "${CLAP_INCLUDE_DIR}/clap/version.h" clap_version_lines
       REGEX "^#define CLAP_VERSION_(MAJOR|MINOR|REVISION) ")
  foreach(part MAJOR MINOR REVISION)
    string(REGEX MATCH "CLAP_VERSION_${part} [^0-9]*([0-9]+)" unused "${clap_version_lines}")
    set(clap_version_${part} "${CMAKE_MATCH_1}")
  endforeach()
  set(CLAP_VERSION "${clap_version_MAJOR}.${clap_version_MINOR}.${clap_version_REVISION}")
endif()

include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(CLAP
  REQUIRED_VARS CLAP_INCLUDE_DIR
  VERSION_VAR CLAP_VERSION
  FAIL_MESSAGE "CLAP headers not found: install dpf-source (tools/install-deps.sh) or pass -DCLAP_INCLUDE_DIR=...")
mark_as_advanced(CLAP_INCLUDE_DIR)

if(CLAP_FOUND AND NOT TARGET CLAP::CLAP)
  add_library(CLAP::CLAP INTERFACE IMPORTED)
  # Included as system headers: their warnings are not ours.
  set_target_properties(CLAP::CLAP PROPERTIES INTERFACE_INCLUDE_DIRECTORIES "${CLAP_INCLUDE_DIR}"
                                              INTERFACE_SYSTEM_INCLUDE_DIRECTORIES "${CLAP_INCLUDE_DIR}")
endif()
