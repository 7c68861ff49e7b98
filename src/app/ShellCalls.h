// The help file and the maker's web pages, opened through the desktop shell.
#pragma once
#include <string>

namespace tf {

// The help file's path: the program's folder joined with "tF45e.chm".
std::string HelpFilePath(const std::string& programFolder);
// Opens the help file; warns "ヘルプファイルの表示に失敗しました!\r   file = %s" with the path when it
// cannot be opened (missing or unreadable files included). True when it was opened.
bool ShowHelp(const std::string& programFolder);

// The maker's home page and the page that receives uploaded recordings: settings of the build
// (TF_HOME_PAGE_URL, TF_UPLOAD_PAGE_URL), empty unless set. An empty address opens nothing and
// answers false, silently, as a failed navigation does.
const char* HomePageAddress();
const char* UploadPageAddress();
bool OpenHomePage();
bool OpenUploadPage();

}  // namespace tf
