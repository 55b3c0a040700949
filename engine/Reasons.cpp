#include "Reasons.h"

#include "FileSystem.h"

namespace {

struct Reason {
    uint32_t error;
    const char* english;
    const char* chinese;
};

const Reason kReasons[] = {
    {fs_error::kFileNotFound, "no longer there", "已不存在"},
    {fs_error::kPathNotFound, "no longer there", "已不存在"},
    {fs_error::kAccessDenied, "access denied", "拒绝访问"},
    {fs_error::kSharingViolation, "in use by another program", "正被其他程序使用"},
    {33, "locked by another program", "被其他程序锁定"},
    {fs_error::kInvalidName, "a name the system cannot open", "系统无法打开此名称"},
    {fs_error::kDirNotEmpty, "the folder is not empty", "目录不为空"},
    {fs_error::kAlreadyExists, "the name is taken", "名称已被占用"},
    {fs_error::kNotADirectory, "not a folder", "不是目录"},
    {fs_error::kNotTheListedEntry, "changed since the search", "搜索后已被更改"},
    {fs_error::kReparseRefused, "a link that cannot be removed as itself", "无法单独删除的链接"},
    {19, "the disk is write-protected", "磁盘写保护"},
    {21, "the drive is not ready", "设备未就绪"},
};

const Reason* Find(uint32_t error) {
    for (const Reason& r : kReasons)
        if (r.error == error) return &r;
    return nullptr;
}

}  // namespace

const char* ReasonOf(uint32_t error) {
    if (error == 0) return "";
    const Reason* r = Find(error);
    return r ? r->english : "failed";
}

const char* ReasonTextOf(uint32_t error) {
    const Reason* r = Find(error);
    return r ? r->chinese : nullptr;
}
