# What a Windows user downloads, made by every Windows build: in build-windows/dist/,
# kestrel-<version>-win64.zip (kestrel.exe, README.txt, LICENSE.txt) and
# kestrel-<version>-win64-setup.exe (packaging/windows/kestrel.nsi, Debian's NSIS). Both
# carry a stripped copy of kestrel.exe; the one in the build keeps its debug information.
# Included from cmake/Windows.cmake; scripts/package-windows.sh builds just this.

find_program(KESTREL_MAKENSIS makensis)
find_program(KESTREL_ZIP zip)
if(NOT KESTREL_MAKENSIS OR NOT KESTREL_ZIP)
  # The program and its tests still build; the package's tests fail, saying what is missing.
  message(WARNING "makensis or zip not found: no zip or setup is made. Install nsis and zip "
                  "(scripts/install-deps.sh).")
  return()
endif()

set(KESTREL_STAGE_DIR ${PROJECT_BINARY_DIR}/package)
set(KESTREL_DIST_DIR ${PROJECT_BINARY_DIR}/dist)
set(KESTREL_ZIP_FILE ${KESTREL_DIST_DIR}/kestrel-${PROJECT_VERSION}-win64.zip)
set(KESTREL_SETUP_FILE ${KESTREL_DIST_DIR}/kestrel-${PROJECT_VERSION}-win64-setup.exe)

# Text files with Windows' line ends, so that every editor there shows their lines.
set(KESTREL_STAGED_TEXTS)
foreach(text README.md:README.txt LICENSE:LICENSE.txt)
  string(REPLACE ":" ";" text ${text})
  list(GET text 0 from)
  list(GET text 1 to)
  add_custom_command(
    OUTPUT ${KESTREL_STAGE_DIR}/${to}
    COMMAND ${CMAKE_COMMAND} -DFROM=${PROJECT_SOURCE_DIR}/${from} -DTO=${KESTREL_STAGE_DIR}/${to}
            -P ${PROJECT_SOURCE_DIR}/packaging/windows/crlf.cmake
    DEPENDS ${PROJECT_SOURCE_DIR}/${from} ${PROJECT_SOURCE_DIR}/packaging/windows/crlf.cmake
    COMMENT "Staging ${to}"
    VERBATIM)
  list(APPEND KESTREL_STAGED_TEXTS ${KESTREL_STAGE_DIR}/${to})
endforeach()

add_custom_command(
  OUTPUT ${KESTREL_STAGE_DIR}/kestrel.exe
  COMMAND ${CMAKE_COMMAND} -E make_directory ${KESTREL_STAGE_DIR}
  COMMAND ${CMAKE_STRIP} -o ${KESTREL_STAGE_DIR}/kestrel.exe $<TARGET_FILE:kestrel>
  DEPENDS kestrel
  COMMENT "Staging a stripped kestrel.exe"
  VERBATIM)

# Members at the top of the archive, no folders, no extra attributes: the same inputs make
# the same listing. The texts go in as they were staged.
add_custom_command(
  OUTPUT ${KESTREL_ZIP_FILE}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${KESTREL_DIST_DIR}
  COMMAND ${CMAKE_COMMAND} -E rm -f ${KESTREL_ZIP_FILE}
  COMMAND ${KESTREL_ZIP} -q -X -D ${KESTREL_ZIP_FILE} kestrel.exe README.txt LICENSE.txt
  WORKING_DIRECTORY ${KESTREL_STAGE_DIR}
  DEPENDS ${KESTREL_STAGE_DIR}/kestrel.exe ${KESTREL_STAGED_TEXTS}
  COMMENT "Packing ${KESTREL_ZIP_FILE}"
  VERBATIM)

# Warnings are errors: a missing file or a misspelt setting stops the build.
add_custom_command(
  OUTPUT ${KESTREL_SETUP_FILE}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${KESTREL_DIST_DIR}
  COMMAND ${KESTREL_MAKENSIS} -V2 -WX -DVERSION=${PROJECT_VERSION} -DSTAGE=${KESTREL_STAGE_DIR}
          -DOUTFILE=${KESTREL_SETUP_FILE} -DICON=${PROJECT_BINARY_DIR}/kestrel.ico
          ${PROJECT_SOURCE_DIR}/packaging/windows/kestrel.nsi
  DEPENDS ${KESTREL_STAGE_DIR}/kestrel.exe ${KESTREL_STAGED_TEXTS} ${PROJECT_BINARY_DIR}/kestrel.ico
          ${PROJECT_SOURCE_DIR}/packaging/windows/kestrel.nsi
  COMMENT "Making ${KESTREL_SETUP_FILE}"
  VERBATIM)

add_custom_target(kestrel_package ALL DEPENDS ${KESTREL_ZIP_FILE} ${KESTREL_SETUP_FILE})
