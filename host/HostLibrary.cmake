# SPDX-License-Identifier: GPL-3.0-or-later
# The host-side library: loads plug-in modules and drives VST 2 instances. Included by host/CMakeLists.txt and by
# the Windows check host's own project, so it builds for Linux and with mingw-w64 for Windows. Its records are
# guarded by the plug-in core's lock (iplug_mutex).
if(TARGET quillmere_host)
  return()
endif()

get_filename_component(QUILLMERE_HOST_ROOT ${CMAKE_CURRENT_LIST_DIR}/.. ABSOLUTE)
include(${QUILLMERE_HOST_ROOT}/IPlug/IPlugMutex.cmake)
if(WIN32)
  set(quillmere_host_platform PluginModuleWindows.cpp)
else()
  set(quillmere_host_platform PluginModulePosix.cpp)
endif()
list(TRANSFORM quillmere_host_platform PREPEND ${CMAKE_CURRENT_LIST_DIR}/)
add_library(quillmere_host STATIC
  ${CMAKE_CURRENT_LIST_DIR}/Vst2HostCallback.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Vst2Instance.cpp
  ${quillmere_host_platform})
target_include_directories(quillmere_host PUBLIC ${QUILLMERE_HOST_ROOT})
target_link_libraries(quillmere_host PUBLIC iplug_mutex ${CMAKE_DL_LIBS})
