#include "MainTexts.h"

#include <cstdio>

namespace {

template <typename... Args>
std::string Format(const char* format, Args... args) {
    char buffer[256];
    std::snprintf(buffer, sizeof buffer, format, args...);
    return buffer;
}

}  // namespace

std::string BuildWindowTitle(const std::string& productTitle, const std::string& version, const std::string& notice) {
    return productTitle + "[Ver" + version + "]" + " - " + notice;
}

std::string BuildProgressTitle(const std::string& restTitle, int foldersSearched, int filesSearched) {
    return restTitle + "-" + Format("已搜索个%d目录和", foldersSearched) + Format("%d文件...", filesSearched);
}

std::string BuildSearchSummary(int foldersSearched, int filesSearched, int malformedFolders, int malformedFiles,
                               int unsearched, uint32_t elapsedMs, SearchEnd end) {
    std::string text = end == SearchEnd::Stopped ? "搜索已停止，" : "搜索完成，";
    text += Format("共搜索了%d个目录和", foldersSearched);
    text += Format("%d个文件\r\n", filesSearched);
    text += Format("找到了畸形目录: %d 个\r\n", malformedFolders);
    text += Format("找到了畸形文件: %d 个\r\n", malformedFiles);
    if (unsearched > 0) text += Format("未能搜索: %d 个目录或文件（无法访问或路径过长）\r\n", unsearched);
    if (elapsedMs < 1000)
        text += Format("共花时: %d 毫秒", static_cast<int>(elapsedMs));
    else
        text += Format("共花时: %d 秒", static_cast<int>(elapsedMs / 1000));
    return text;
}

std::string BuildDeleteQuestion(const std::string& entry) { return "确定要删除“" + entry + "”吗？"; }

std::wstring BuildDeleteQuestion(const std::wstring& entry) { return L"确定要删除“" + entry + L"”吗？"; }

std::wstring BuildRenamedText(const std::wstring& newName) { return L"已重命名为：" + newName; }

std::string BuildDeleteSummary(int deleted, int failed, bool stopped, int left) {
    if (!stopped) return "删除完毕，" + Format("删除成功 %d 个，", deleted) + Format("删除失败 %d 个。", failed);
    // The rows left untried on a line of their own: the summary stays as narrow as it was.
    return "删除已停止，" + Format("删除成功 %d 个，", deleted) + Format("删除失败 %d 个。\r\n", failed) +
           Format("未删除 %d 个。", left);
}

std::string BuildDeletionTitle(const std::string& restTitle, int tried, int total) {
    return restTitle + "-" + Format("正在删除 %d/", tried) + Format("%d...", total);
}

std::string BuildWhyListedText(uint32_t listedFor, bool plainPathWorks) {
    if (listedFor == 0) return std::string();
    // In the order of the ListedReason bits; short, so that the column shows
    // the verdict and the first reason at its width.
    static const char* const kWords[] = {"末尾是点",   "末尾是空格", "设备名", "设备名+扩展名",
                                         "含非法字符", "只读",       "系统",   "隐藏"};
    std::string text = plainPathWorks ? "本机可正常访问" : "本机无法访问";
    const char* separator = "：";
    for (size_t bit = 0; bit < sizeof kWords / sizeof kWords[0]; ++bit) {
        if (!(listedFor & (1u << bit))) continue;
        text += separator;
        text += kWords[bit];
        separator = "、";
    }
    return text;
}
