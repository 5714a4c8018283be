# SPDX-License-Identifier: GPL-3.0-or-later
# iplug_mutex: the recursive lock IPlugMutex on its own, for the plug-in core and for the host library. Included by
# IPlug/CMakeLists.txt and by host/HostLibrary.cmake, so the Windows check programs' own projects build it too.
if(TARGET iplug_mutex)
  return()
endif()
get_filename_component(iplug_mutex_root ${CMAKE_CURRENT_LIST_DIR}/.. ABSOLUTE)
if(WIN32)
  add_library(iplug_mutex STATIC ${CMAKE_CURRENT_LIST_DIR}/IPlugMutexWin.cpp)
else()
  add_library(iplug_mutex STATIC ${CMAKE_CURRENT_LIST_DIR}/IPlugMutexPosix.cpp)
  find_package(Threads REQUIRED)
  target_link_libraries(iplug_mutex PUBLIC Threads::Threads)
endif()
target_include_directories(iplug_mutex PUBLIC ${iplug_mutex_root})
