#include "Reasons.h"

#include "FileSystem.h"

namespace {

struct Reason {
    uint32_t error;
    const char* chinese;
};

const Reason kReasons[] = {
    {fs_error::kFileNotFound, "已不存在"},
    {fs_error::kPathNotFound, "已不存在"},
    {fs_error::kAccessDenied, "拒绝访问"},
    {fs_error::kSharingViolation, "正被其他程序使用"},
    {33, "被其他程序锁定"},
    {fs_error::kInvalidName, "系统无法打开此名称"},
    {fs_error::kDirNotEmpty, "目录不为空"},
    {fs_error::kAlreadyExists, "名称已被占用"},
    {fs_error::kNotADirectory, "不是目录"},
    {fs_error::kNotTheListedEntry, "搜索后已被更改"},
    {fs_error::kReparseRefused, "链接：不跟随，也不经由其目标删除"},
    {fs_error::kNoLegalName, "无法为它取合法名称"},
    {fs_error::kCancelled, "删除时被停止"},
    {19, "磁盘写保护"},
    {21, "设备未就绪"},
};

const Reason* Find(uint32_t error) {
    for (const Reason& r : kReasons)
        if (r.error == error) return &r;
    return nullptr;
}

}  // namespace

const char* ReasonTextOf(uint32_t error) {
    const Reason* r = Find(error);
    return r ? r->chinese : nullptr;
}
