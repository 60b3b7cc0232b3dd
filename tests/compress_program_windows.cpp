// The program as the tests run it on Windows: its path made whole, drive included, as the build
// names it without one.
#include <QFileInfo>

#include "compress_program.h"

const CompressProgram &compressProgram() {
    static const CompressProgram program{
        QFileInfo(QStringLiteral(ZEREDIZ_COMPRESS_PROGRAM)).absoluteFilePath()};
    return program;
}
