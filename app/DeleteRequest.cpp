#include "DeleteRequest.h"

DeleteOutcome DeleteCollectedPaths(const std::vector<std::u16string>& paths, const DeletePathFn& deletePath) {
    bool anyDeleted = false, anyFailed = false;
    for (const std::u16string& path : paths) {
        if (deletePath(path))
            anyDeleted = true;
        else
            anyFailed = true;
    }
    if (!anyDeleted) return DeleteOutcome::NoneDeleted;
    return anyFailed ? DeleteOutcome::PartlyDeleted : DeleteOutcome::AllDeleted;
}

ResultMessage ResultMessageFor(DeleteOutcome outcome) {
    switch (outcome) {
    case DeleteOutcome::AllDeleted: return {kDeleteAllDoneText, kBoxIconInformation};
    case DeleteOutcome::PartlyDeleted: return {kDeletePartlyDoneText, kBoxIconExclamation};
    case DeleteOutcome::NoneDeleted: break;
    }
    return {kDeleteFailedText, kBoxIconExclamation};
}

void RunDeleteRequest(const std::vector<std::u16string>& paths, const DeletePathFn& deletePath,
                      const MessageBoxFn& messageBox) {
    if (messageBox(kConfirmDeleteText, kDeleteRequestCaption, kBoxYesNo | kBoxIconQuestion) != kAnswerYes) return;
    const ResultMessage message = ResultMessageFor(DeleteCollectedPaths(paths, deletePath));
    messageBox(message.text, kDeleteRequestCaption, message.type);
}
