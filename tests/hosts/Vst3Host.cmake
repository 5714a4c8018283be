# SPDX-License-Identifier: GPL-3.0-or-later
# The VST 3 test host: quillmere_vst3_host, on top of quillmere_host's module loader. Included by
# tests/hosts/CMakeLists.txt and by the Windows VST 3 check's own project.
if(TARGET quillmere_vst3_host)
  return()
endif()
include(${CMAKE_CURRENT_LIST_DIR}/../../host/HostLibrary.cmake)
list(APPEND CMAKE_MODULE_PATH ${CMAKE_CURRENT_LIST_DIR}/../../cmake)
find_package(VST3SDK REQUIRED)
add_library(quillmere_vst3_host STATIC ${CMAKE_CURRENT_LIST_DIR}/Vst3Host.cpp ${CMAKE_CURRENT_LIST_DIR}/Vst3HostObjects.cpp)
target_link_libraries(quillmere_vst3_host PUBLIC quillmere_host VST3SDK::pluginterfaces)
