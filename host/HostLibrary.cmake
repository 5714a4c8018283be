# SPDX-License-Identifier: GPL-3.0-or-later
# The host-side library: loads plug-in modules and drives VST 2 instances. Included by host/CMakeLists.txt and by
# the Windows check host's own project, so it builds for Linux and with mingw-w64 for Windows.
if(TARGET quillmere_host)
  return()
endif()

get_filename_component(QUILLMERE_HOST_ROOT ${CMAKE_CURRENT_LIST_DIR}/.. ABSOLUTE)
if(WIN32)
  set(quillmere_host_platform PluginModuleWindows.cpp HostMutexWindows.cpp)
else()
  set(quillmere_host_platform PluginModulePosix.cpp HostMutexPosix.cpp)
endif()
list(TRANSFORM quillmere_host_platform PREPEND ${CMAKE_CURRENT_LIST_DIR}/)
add_library(quillmere_host STATIC
  ${CMAKE_CURRENT_LIST_DIR}/Vst2HostCallback.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Vst2Instance.cpp
  ${quillmere_host_platform})
target_include_directories(quillmere_host PUBLIC ${QUILLMERE_HOST_ROOT})
if(NOT WIN32)
  find_package(Threads REQUIRED)
  target_link_libraries(quillmere_host PUBLIC Threads::Threads ${CMAKE_DL_LIBS})
endif()
