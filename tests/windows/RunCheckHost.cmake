# SPDX-License-Identifier: GPL-3.0-or-later
# cmake -DHOST=... -DPLUGIN=... -DOUT=... [-DCHUNK=...] [-DWINE=... -DWINESERVER=...] -P RunCheckHost.cmake
# Runs the check host on a plug-in into a fresh OUT folder; with WINE set, under wine with a throw-away prefix
# and home folder that are removed afterwards (the prefix's wineserver ended first).
cmake_minimum_required(VERSION 3.18)
file(REMOVE_RECURSE ${OUT})
file(MAKE_DIRECTORY ${OUT})
set(arguments ${PLUGIN} ${OUT})
if(CHUNK)
  list(APPEND arguments ${CHUNK})
endif()

if(WINE)
  execute_process(COMMAND mktemp -d -t quillmere-wine.XXXXXX OUTPUT_VARIABLE scratch OUTPUT_STRIP_TRAILING_WHITESPACE
                  RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "cannot make a temporary folder for wine")
  endif()
  set(prefix ${scratch}/prefix)
  set(ENV{WINEPREFIX} ${prefix})
  set(ENV{WINEDEBUG} -all)
  # No .NET, HTML engine or desktop menu entries: a shorter first start, and nothing written outside scratch.
  set(ENV{WINEDLLOVERRIDES} "mscoree,mshtml,winemenubuilder.exe=")
  file(MAKE_DIRECTORY ${scratch}/home)
  foreach(variable HOME XDG_CONFIG_HOME XDG_DATA_HOME XDG_CACHE_HOME)
    set(ENV{${variable}} ${scratch}/home)
  endforeach()
  # Wine sees the Linux file system as drive Z:.
  set(windows_arguments "")
  foreach(path IN LISTS arguments)
    list(APPEND windows_arguments "Z:${path}")
  endforeach()
  set(command ${WINE} ${HOST} ${windows_arguments})
else()
  set(command ${HOST} ${arguments})
endif()

string(TIMESTAMP started "%s")
# Shorter than the test's own time limit, so the prefix is still cleaned up after a hang.
execute_process(COMMAND ${command} RESULT_VARIABLE status TIMEOUT 240 ERROR_VARIABLE errors)
string(TIMESTAMP finished "%s")
math(EXPR seconds "${finished} - ${started}")

if(WINE)
  execute_process(COMMAND ${WINESERVER} -k)
  execute_process(COMMAND ${WINESERVER} -w TIMEOUT 30)
  file(REMOVE_RECURSE ${scratch})
  # Wine's own notes about setting up a fresh prefix are not the program's.
  string(REGEX REPLACE "wine: [^\n]*(syswow64|configuration in)[^\n]*\n" "" errors "${errors}")
endif()
string(REPLACE ";" " " shown "${command}")
message(STATUS "${shown}: exit ${status} after about ${seconds} s")
if(errors)
  message("${errors}")
endif()
if(NOT status EQUAL 0)
  message(FATAL_ERROR "the check host failed")
endif()
