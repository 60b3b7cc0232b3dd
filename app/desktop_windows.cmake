# The program on Windows, included by CMakeLists.txt beside it: a window program that opens no
# console of its own, with its icon and version in its resources, where Explorer, the Start menu
# and the 打开方式 list find them. The installer makes the menu entry (packaging/windows/).
enable_language(RC)
set_target_properties(zerediz PROPERTIES WIN32_EXECUTABLE ON)
set(ZEREDIZ_ICON ${CMAKE_CURRENT_SOURCE_DIR}/icons/zerediz.ico)
configure_file(zerediz.rc.in ${CMAKE_CURRENT_BINARY_DIR}/zerediz.rc @ONLY)
target_sources(zerediz PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/zerediz.rc)
