# Manual pages made at build time from the programs' own --help and --version (help2man, Debian
# package help2man), so that a page and the help it documents cannot drift apart. help2man reads
# the help as an English one; chinese_man_page.pl gives the page its Chinese sections.
include(GNUInstallDirs)
# A cross build could run the programs only under an emulator, and it is made for its tests alone.
if(CMAKE_CROSSCOMPILING)
    function(zerediz_man_page target summary)
    endfunction()
    return()
endif()
find_program(HELP2MAN help2man REQUIRED)
find_program(PERL perl REQUIRED)
set(ZEREDIZ_CHINESE_MAN_PAGE ${CMAKE_CURRENT_LIST_DIR}/chinese_man_page.pl)

# zerediz_man_page(TARGET SUMMARY): the page TARGET(1) of the program TARGET, installed with it;
# SUMMARY is the line under 名称, the one thing the help does not say.
function(zerediz_man_page target summary)
    set(name_section ${CMAKE_CURRENT_BINARY_DIR}/${target}.h2m)
    file(CONFIGURE OUTPUT ${name_section} CONTENT "[NAME]\n${target} \\- ${summary}\n")
    set(page ${CMAKE_CURRENT_BINARY_DIR}/${target}.1)
    # The help is UTF-8; help2man passes it through unchanged only in a UTF-8 locale. The program
    # is found on PATH so that its usage line names it as installed, not by where it was built;
    # a window program answers --help without a display.
    add_custom_command(OUTPUT ${page}
        COMMAND ${CMAKE_COMMAND} -E env "PATH=$<TARGET_FILE_DIR:${target}>:$ENV{PATH}"
                QT_QPA_PLATFORM=offscreen
                ${HELP2MAN} --locale=C.UTF-8 --no-info --include=${name_section}
                --output=${page}.help2man $<TARGET_FILE_NAME:${target}>
        COMMAND ${PERL} ${ZEREDIZ_CHINESE_MAN_PAGE} ${page}.help2man > ${page}
        DEPENDS ${target} ${name_section} ${ZEREDIZ_CHINESE_MAN_PAGE}
        COMMENT "Manual page ${target}(1)"
        VERBATIM)
    # Installed compressed, as Debian's policy has manual pages.
    add_custom_command(OUTPUT ${page}.gz
        COMMAND gzip -9nc ${page} > ${page}.gz
        DEPENDS ${page}
        VERBATIM)
    add_custom_target(${target}_man_page ALL DEPENDS ${page}.gz)
    install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endfunction()
