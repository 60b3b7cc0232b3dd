#include "ui/main/file_error_text.h"

#include "core/file_error.h"

QString fileErrorText(const FileError &error) {
    using Kind = FileError::Kind;
    switch (error.kind) {
        case Kind::NotFound:
            return QStringLiteral("文件不存在");
        case Kind::NoReadPermission:
            return QStringLiteral("没有读取权限");
        case Kind::IsDirectory:
            return QStringLiteral("这是一个文件夹");
        case Kind::NotRegularFile:
            return QStringLiteral("不是普通文件");
        case Kind::TooLarge:
            return QStringLiteral("文件太大");
        case Kind::NoConverter:
            return QStringLiteral("系统无法转换这个文件的编码");
        case Kind::NoWritePermission:
            return QStringLiteral("没有写入权限");
        case Kind::FolderMissing:
            return QStringLiteral("文件夹不存在");
        case Kind::DiskFull:
            return QStringLiteral("磁盘空间不足");
        case Kind::Other:
            break;
    }
    return error.systemMessage;
}
