# SPDX-License-Identifier: GPL-3.0-or-later
# cmake -DSCRIPT=tools/build-windows.sh -DDIR=... -P CrossBuildPlugin.cmake
# Runs the Windows cross-build from the Linux build without stopping it when the cross-build fails: the failure
# is shown and the DLL removed, so the windows.* tests fail instead of every Linux build.
cmake_minimum_required(VERSION 3.18)
execute_process(COMMAND ${SCRIPT} ${DIR} RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
file(WRITE ${DIR}.log "${output}")
if(NOT status EQUAL 0)
  file(REMOVE ${DIR}/Quillmere.dll)
  message(WARNING "${output}\nThe Windows cross-build of Quillmere failed (log: ${DIR}.log); the windows.* "
                  "tests will fail.")
endif()
