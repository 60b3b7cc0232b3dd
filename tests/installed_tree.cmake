# Installs the build into PREFIX, then checks what a desktop and a software centre find there: both
# programs and their manual pages, which read as Chinese manual pages do, the icon at every size,
# the menu entry of the sources, to which desktop-file-validate has nothing to object, and the
# AppStream description, which appstreamcli accepts.
# Run by ctest with BUILD_DIR, PREFIX, SOURCE_ENTRY, VALIDATE, APPSTREAMCLI, MAN and LEXGROG set.

file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "cmake --install failed (${result})")
endif()

set(entry "${PREFIX}/share/applications/zerediz.desktop")
set(metainfo "${PREFIX}/share/metainfo/org.zerediz.Zerediz.metainfo.xml")
set(files bin/zerediz share/applications/zerediz.desktop share/icons/hicolor/scalable/apps/zerediz.svg
          bin/zerediz-compress share/man/man1/zerediz.1.gz share/man/man1/zerediz-compress.1.gz)
foreach(size 16 32 48 64 128 256)
    list(APPEND files share/icons/hicolor/${size}x${size}/apps/zerediz.png)
endforeach()
foreach(file ${files} share/metainfo/org.zerediz.Zerediz.metainfo.xml)
    if(NOT EXISTS "${PREFIX}/${file}")
        message(FATAL_ERROR "not installed: ${file}")
    endif()
endforeach()

# Each manual page: the Chinese sections in the usual order, the synopsis, a line under 名称 that
# whatis shows as it is written, and nothing that man warns about on a terminal of 80 columns.
foreach(program zerediz zerediz-compress)
    set(page "${PREFIX}/share/man/man1/${program}.1.gz")
    execute_process(COMMAND gzip -dc "${page}" OUTPUT_VARIABLE source RESULT_VARIABLE result)
    string(REGEX MATCHALL "\n\\.SH [^\n]+" headings "${source}")
    string(REPLACE "\n.SH " "" headings "${headings}")
    if(NOT result EQUAL 0 OR NOT headings STREQUAL "名称;概述;描述;选项;退出状态;示例")
        message(FATAL_ERROR "${program}(1) has the sections ${headings}")
    endif()
    string(REPLACE "-" "\\\\-" roff_name "${program}")
    if(NOT source MATCHES "\n\\.SH 概述\n\\.B ${roff_name}\n[^\n]+\n\\.SH 描述\n")
        message(FATAL_ERROR "${program}(1) has no synopsis of one usage line")
    endif()
    execute_process(COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C.UTF-8 MANWIDTH=80
                            "${MAN}" --warnings -l "${page}"
                    RESULT_VARIABLE result OUTPUT_QUIET ERROR_VARIABLE warnings)
    if(NOT result EQUAL 0 OR NOT warnings STREQUAL "")
        message(FATAL_ERROR "man --warnings -l ${program}.1.gz (${result}): ${warnings}")
    endif()
    execute_process(COMMAND "${LEXGROG}" "${page}" OUTPUT_VARIABLE whatis RESULT_VARIABLE result)
    if(NOT result EQUAL 0 OR NOT whatis MATCHES "\"${program} - [^\":\\\\]+\"")
        message(FATAL_ERROR "whatis of ${program}(1): ${whatis}")
    endif()
endforeach()

file(READ "${entry}" installed)
file(READ "${SOURCE_ENTRY}" source)
if(NOT installed STREQUAL source)
    message(FATAL_ERROR "the installed menu entry is not the one in the sources")
endif()

# "Open with" offers the program for pages and for folders (a whole site), and hands it the
# file or folder through %f.
if(NOT installed MATCHES "\nExec=zerediz %f\n" OR NOT installed MATCHES "\nMimeType=[^\n]*text/html;"
   OR NOT installed MATCHES "\nMimeType=[^\n]*inode/directory;")
    message(FATAL_ERROR "the menu entry takes no file or names no page type or no folder")
endif()

# Hints and warnings count as failures too: the output must be empty.
execute_process(COMMAND "${VALIDATE}" "${entry}"
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0 OR NOT output STREQUAL "")
    message(FATAL_ERROR "desktop-file-validate (${result}): ${output}")
endif()
execute_process(COMMAND "${APPSTREAMCLI}" validate --no-net "${metainfo}"
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "appstreamcli validate (${result}): ${output}")
endif()
message(STATUS "installed and valid: ${entry}, ${metainfo}")
