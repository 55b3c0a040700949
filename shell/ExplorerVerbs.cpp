#include "ExplorerVerbs.h"

namespace {

const char kFolderShell[] = "Folder\\shell\\";
const char kFileShell[] = "*\\shell\\";
const char kSearchVerbText[] = "使用[Voskar]搜索Orvelle(&F)";
const char kDeleteVerbText[] = "使用[Voskar]删除(&K)";

}  // namespace

const char kExplorerMenuAdded[] = "右键添加成功，直接在文件夹上点右键就可以进行搜索！";
const char kExplorerMenuRemoved[] = "从右键脱离成功!";

std::vector<VerbKeyValue> ExplorerVerbKeys(const std::string& appId, const std::string& exePath) {
    const std::string searchKey = kFolderShell + appId;
    const std::string folderDeleteKey = kFolderShell + appId + "_del";
    // The "Z" belongs to the file verb's key name only.
    const std::string fileDeleteKey = kFileShell + ("Z" + appId) + "_del";
    // Quoted, or under "C:\Program Files" the shell would start "C:\Program"
    // and pass the rest of the path as the first argument.
    const std::string program = "\"" + exePath + "\"";
    const std::string searchCommand = program + " \"-p:%L\"";
    const std::string deleteCommand = program + " \"-d:%L\"";
    return {
        {searchKey, kSearchVerbText},       {searchKey + "\\command", searchCommand},
        {folderDeleteKey, kDeleteVerbText}, {folderDeleteKey + "\\command", deleteCommand},
        {fileDeleteKey, kDeleteVerbText},   {fileDeleteKey + "\\command", deleteCommand},
    };
}

std::string ExplorerPresenceKey(const std::string& appId) { return kFolderShell + appId; }

const char* ExplorerMenuLabel(bool present) { return present ? "从右键脱离(&T)" : "添加到右键(&T)"; }
