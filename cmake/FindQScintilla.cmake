# Finds QScintilla built for Qt 6, which Debian ships (libqscintilla2-qt6-dev) without a CMake
# package of its own. Call it after find_package(Qt6): the headers sit in Qt's own include folder,
# which Qt names in QT6_INSTALL_PREFIX and QT6_INSTALL_HEADERS.
#
# Defines the imported target QScintilla::QScintilla, and QScintilla_FOUND, QScintilla_VERSION,
# QScintilla_INCLUDE_DIR and QScintilla_LIBRARY.

find_path(QScintilla_INCLUDE_DIR Qsci/qsciscintillabase.h
          HINTS "${QT6_INSTALL_PREFIX}/${QT6_INSTALL_HEADERS}")
find_library(QScintilla_LIBRARY NAMES qscintilla2_qt6
             HINTS "${QT6_INSTALL_PREFIX}/${QT6_INSTALL_LIBS}")

if(QScintilla_INCLUDE_DIR AND EXISTS "${QScintilla_INCLUDE_DIR}/Qsci/qsciglobal.h")
    file(STRINGS "${QScintilla_INCLUDE_DIR}/Qsci/qsciglobal.h" version_line
         REGEX "#define QSCINTILLA_VERSION_STR")
    string(REGEX REPLACE ".*\"([^\"]*)\".*" "\\1" QScintilla_VERSION "${version_line}")
    unset(version_line)
endif()

include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(QScintilla
    REQUIRED_VARS QScintilla_LIBRARY QScintilla_INCLUDE_DIR
    VERSION_VAR QScintilla_VERSION
    REASON_FAILURE_MESSAGE "QScintilla for Qt 6 comes with the Debian package libqscintilla2-qt6-dev")
mark_as_advanced(QScintilla_INCLUDE_DIR QScintilla_LIBRARY)

if(QScintilla_FOUND AND NOT TARGET QScintilla::QScintilla)
    add_library(QScintilla::QScintilla UNKNOWN IMPORTED)
    set_target_properties(QScintilla::QScintilla PROPERTIES
        IMPORTED_LOCATION "${QScintilla_LIBRARY}"
        INTERFACE_INCLUDE_DIRECTORIES "${QScintilla_INCLUDE_DIR}"
        INTERFACE_LINK_LIBRARIES Qt6::Widgets)
endif()
