#include "core/files/file_error_text.h"

#include <QList>

#include "core/files/file_error.h"
#include "core/files/page_file.h"

namespace {

// The name by which a user knows an attribute: the access control list by that name, and all of
// them, where they could not even be listed, as "*".
QString attributeName(const QString &name) {
    if (name == u"system.posix_acl_access") return QStringLiteral("访问控制列表（ACL）");
    if (name == u'*') return QStringLiteral("全部扩展属性");
    return name;
}

}  // namespace

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
            return QStringLiteral("文件太大（最大 %1 GiB）").arg(kMaxDocumentSize >> 30);
        case Kind::NoConverter:
            return QStringLiteral("系统无法转换这个文件的编码");
        case Kind::NoWritePermission:
            return QStringLiteral("没有写入权限");
        case Kind::FolderMissing:
            return QStringLiteral("文件夹不存在");
        case Kind::DiskFull:
            return QStringLiteral("磁盘空间不足");
        case Kind::SizeLimit:
            return QStringLiteral("超出了文件大小限制");
        case Kind::QuotaExceeded:
            return QStringLiteral("超出了磁盘配额");
        case Kind::ReadOnlyFileSystem:
            return QStringLiteral("磁盘是只读的");
        case Kind::InUse:
            return QStringLiteral("文件正在使用中");
        case Kind::DeviceError:
            return QStringLiteral("读写磁盘时出错");
        case Kind::NameTooLong:
            return QStringLiteral("文件名太长");
        case Kind::InvalidName:
            return QStringLiteral("文件名无效");
        case Kind::LinkLoop:
            return QStringLiteral("符号链接太多或形成了循环");
        case Kind::TooManyOpenFiles:
            return QStringLiteral("打开的文件太多");
        case Kind::OutOfMemory:
            return QStringLiteral("内存不足");
        case Kind::Disconnected:
            return QStringLiteral("网络或设备已断开");
        case Kind::Unencodable: {
            const uint code = error.character.toUcs4().value(0);
            return QStringLiteral("第 %1 行的字符“%2”（U+%3）无法用这个网页的编码 %4 保存")
                .arg(QString::number(error.line), error.character,
                     QString::number(code, 16).toUpper().rightJustified(4, u'0'), error.encoding);
        }
        case Kind::UnsafeInPlace:
            return QStringLiteral("文件不可读且无法预留空间，不能安全地原地写入");
        case Kind::Replaced:
            return QStringLiteral("文件在读取之后被换成了别的文件");
        case Kind::LinkedElsewhere:
            return QStringLiteral("文件还有不在这里的硬链接，所在文件夹又只允许原地写入");
        case Kind::TrimmedTooLarge:
            return QStringLiteral("压缩后会超过 %1 GiB").arg(kMaxDocumentSize >> 30);
        case Kind::NameNotUtf8:
            return QStringLiteral("文件名不是 UTF-8");
        case Kind::ReadOnlyFile:
            return QStringLiteral("文件是只读的");
        case Kind::ReservedName:
            return QStringLiteral("文件名是 Windows 保留的设备名");
        case Kind::PathTooLong:
            return QStringLiteral("路径太长");
        case Kind::Other:
            break;
    }
    return QStringLiteral("系统错误（%1）").arg(error.systemMessage);
}

QString cannotOpenText(const QString &path) {
    return QStringLiteral("无法打开文件：") + path;
}

QString cannotCompressText(const QString &path) {
    return QStringLiteral("无法压缩文件：") + path;
}

QString cannotSaveText(const QString &path) {
    return QStringLiteral("无法保存文件：") + path;
}

QString cannotSyncFolderText(const QString &path) {
    return QStringLiteral("无法同步文件夹：") + path;
}

QString cannotKeepAttributesText(const QString &path) {
    return QStringLiteral("未能保留扩展属性：") + path;
}

QString lostAttributesText(const QList<LostAttribute> &lost) {
    QStringList parts;
    for (const LostAttribute &attribute : lost)
        parts.append(attributeName(attribute.name) + u'（' + fileErrorText(attribute.why) + u'）');
    return parts.join(u'、');
}
