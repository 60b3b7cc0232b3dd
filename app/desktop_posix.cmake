# The program on the desktops of Linux and its kin, included by CMakeLists.txt beside it.
zerediz_man_page(zerediz "去掉网页文件每行两端空格的窗口程序")

# Desktop integration: the menu entry, the software centre's description and the application
# icon in the hicolor theme. The small sizes are the 16-colour drawings that the windows show; the
# launcher sizes are drawn from the SVG version of the same picture.
install(FILES zerediz.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES org.zerediz.Zerediz.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
find_package(Qt6 REQUIRED COMPONENTS Svg)
add_executable(zerediz_icon_png icon_png.cpp)
target_link_libraries(zerediz_icon_png PRIVATE Qt6::Gui Qt6::Svg)
set(icon_pngs)
foreach(size 16 32 48 64 128 256)
    set(folder ${CMAKE_CURRENT_BINARY_DIR}/hicolor/${size}x${size}/apps)
    if(size LESS_EQUAL 32)
        set(drawing icons/zerediz-${size}.xpm)
    else()
        set(drawing icons/zerediz.svg)
    endif()
    add_custom_command(OUTPUT ${folder}/zerediz.png
        COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}
        COMMAND zerediz_icon_png ${CMAKE_CURRENT_SOURCE_DIR}/${drawing} ${folder}/zerediz.png ${size}
        DEPENDS zerediz_icon_png ${drawing}
        VERBATIM)
    list(APPEND icon_pngs ${folder}/zerediz.png)
endforeach()
add_custom_target(zerediz_icons ALL DEPENDS ${icon_pngs})
install(DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)
install(FILES icons/zerediz.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
