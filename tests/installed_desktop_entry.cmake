# Installs the build into PREFIX, then checks what a desktop finds there: the program, its icon,
# and the menu entry of the sources, to which desktop-file-validate has nothing to object.
# Run by ctest with BUILD_DIR, PREFIX, SOURCE_ENTRY and VALIDATE set.

file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "cmake --install failed (${result})")
endif()

set(entry "${PREFIX}/share/applications/zerediz.desktop")
foreach(file bin/zerediz share/applications/zerediz.desktop
             share/icons/hicolor/16x16/apps/zerediz.png share/icons/hicolor/32x32/apps/zerediz.png)
    if(NOT EXISTS "${PREFIX}/${file}")
        message(FATAL_ERROR "not installed: ${file}")
    endif()
endforeach()

file(READ "${entry}" installed)
file(READ "${SOURCE_ENTRY}" source)
if(NOT installed STREQUAL source)
    message(FATAL_ERROR "the installed menu entry is not the one in the sources")
endif()

# "Open with" offers the program for the types named, and hands it the file through %f.
if(NOT installed MATCHES "\nExec=zerediz %f\n" OR NOT installed MATCHES "\nMimeType=[^\n]*text/html;")
    message(FATAL_ERROR "the menu entry takes no file or names no page type")
endif()

# Hints and warnings count as failures too: the output must be empty.
execute_process(COMMAND "${VALIDATE}" "${entry}"
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0 OR NOT output STREQUAL "")
    message(FATAL_ERROR "desktop-file-validate (${result}): ${output}")
endif()
message(STATUS "installed and valid: ${entry}")
