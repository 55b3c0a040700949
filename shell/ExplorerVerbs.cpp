#include "ExplorerVerbs.h"

namespace {

const char kFolderShell[] = "Folder\\shell\\";
const char kFileShell[] = "*\\shell\\";
// Written in UTF-16, so that Explorer shows them under every code page.
const wchar_t kSearchVerbText[] = L"使用[Voskar]搜索Orvelle(&F)";
const wchar_t kDeleteVerbText[] = L"使用[Voskar]删除(&K)";

}  // namespace

const char kExplorerMenuAdded[] = "右键添加成功，直接在文件夹上点右键就可以进行搜索！";
const char kExplorerMenuRemoved[] = "从右键脱离成功!";

std::vector<VerbKeyValue> ExplorerVerbKeys(const std::string& appId, const std::wstring& exePath) {
    const std::string searchKey = kFolderShell + appId;
    const std::string folderDeleteKey = kFolderShell + appId + "_del";
    // The "Z" belongs to the file verb's key name only.
    const std::string fileDeleteKey = kFileShell + ("Z" + appId) + "_del";
    // Quoted, or under "C:\Program Files" the shell would start "C:\Program"
    // and pass the rest of the path as the first argument.
    const std::wstring program = L"\"" + exePath + L"\"";
    const std::wstring searchCommand = program + L" \"-p:%L\"";
    const std::wstring deleteCommand = program + L" \"-d:%L\"";
    return {
        {searchKey, kSearchVerbText},       {searchKey + "\\command", searchCommand},
        {folderDeleteKey, kDeleteVerbText}, {folderDeleteKey + "\\command", deleteCommand},
        {fileDeleteKey, kDeleteVerbText},   {fileDeleteKey + "\\command", deleteCommand},
    };
}

std::string ExplorerPresenceKey(const std::string& appId) { return kFolderShell + appId; }

const char* ExplorerMenuLabel(bool present) { return present ? "从右键脱离(&T)" : "添加到右键(&T)"; }
