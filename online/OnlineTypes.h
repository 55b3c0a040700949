// Records of the vendor's answers that the main window keeps.
#pragma once

#include <string>

// One line of the announcement feed.
struct AnnouncementItem {
    std::string url;
    std::string title;
    std::string color;  // colour code of the line
};

// The fields of the last update answer.
struct UpdateInfo {
    std::string version;
    std::string downloadUrl;
    std::string updateType;
    std::string description;  // the answer's "<vskupdateabout>" text, shown in the prompt
};
