# Fails when a file under CORE_DIR includes a Qt, XCB, X11 or Windows header, so the core
# keeps building for every desktop. Files named in AWAITING_MOVE are let through until
# they are moved; a name there that no longer needs it is reported, to be removed.
#   cmake -DCORE_DIR=<src/core> [-DAWAITING_MOVE=<a;b>] -P CheckCoreIncludes.cmake
cmake_minimum_required(VERSION 3.25)
if(NOT IS_DIRECTORY "${CORE_DIR}")
  message(FATAL_ERROR "no core directory: ${CORE_DIR}")
endif()

set(desktopInclude "^[ \t]*#[ \t]*include[ \t]*[<\"](Q|xcb/|X11/|[Ww]indows)")
file(GLOB_RECURSE files RELATIVE "${CORE_DIR}" "${CORE_DIR}/*")
set(offenders "")
foreach(file IN LISTS files)
  file(STRINGS "${CORE_DIR}/${file}" hits REGEX "${desktopInclude}")
  if(file IN_LIST AWAITING_MOVE)
    if(NOT hits)
      message(STATUS "${file} includes no desktop header any more: take it off the list")
    endif()
    continue()
  endif()
  foreach(hit IN LISTS hits)
    string(STRIP "${hit}" hit)
    list(APPEND offenders "src/core/${file}: ${hit}")
  endforeach()
endforeach()

if(offenders)
  list(JOIN offenders "\n  " text)
  message(FATAL_ERROR "the core must not include a desktop's headers:\n  ${text}")
endif()
list(LENGTH files count)
message(STATUS "checked ${count} files under ${CORE_DIR}")
