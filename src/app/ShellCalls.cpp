#include "app/ShellCalls.h"

#include "platform/ResourceText.h"
#include "platform/Shell.h"
#include "platform/Warning.h"
#include "raster/SmallRoutines.h"

#ifndef TF_HOME_PAGE_URL
#define TF_HOME_PAGE_URL ""
#endif
#ifndef TF_UPLOAD_PAGE_URL
#define TF_UPLOAD_PAGE_URL ""
#endif

namespace tf {

std::string HelpFilePath(const std::string& programFolder) {
  return JoinPath(programFolder, Tx(TextId::HelpFileName));
}

bool ShowHelp(const std::string& programFolder) {
  const std::string path = HelpFilePath(programFolder);
  if (ShellOpen(path)) return true;
  ShowWarning(TxFormat(TextId::HelpOpenFailed, path.c_str()));
  return false;
}

const char* HomePageAddress() { return TF_HOME_PAGE_URL; }
const char* UploadPageAddress() { return TF_UPLOAD_PAGE_URL; }
bool OpenHomePage() { return OpenURL(HomePageAddress()); }
bool OpenUploadPage() { return OpenURL(UploadPageAddress()); }

}  // namespace tf
