# SPDX-License-Identifier: GPL-3.0-or-later
# The CLAP test host (quillmere_clap_host): a host record, an event list and an instance driven through a
# module's clap_entry, on top of quillmere_host's module loader. Included by tests/hosts/CMakeLists.txt and by the
# Windows CLAP check's own project.
if(TARGET quillmere_clap_host)
  return()
endif()
get_filename_component(quillmere_clap_host_root ${CMAKE_CURRENT_LIST_DIR}/../.. ABSOLUTE)
include(${quillmere_clap_host_root}/host/HostLibrary.cmake)
list(APPEND CMAKE_MODULE_PATH ${quillmere_clap_host_root}/cmake)
find_package(CLAP 1.1 REQUIRED)
add_library(quillmere_clap_host STATIC
  ${CMAKE_CURRENT_LIST_DIR}/ClapEventList.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ClapHost.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ClapInstance.cpp)
target_link_libraries(quillmere_clap_host PUBLIC quillmere_host CLAP::CLAP)
