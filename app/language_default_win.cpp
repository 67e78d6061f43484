#include <windows.h>

#include "app/languages.h"

int DisplayPrimaryLanguage() { return PRIMARYLANGID(GetUserDefaultUILanguage()); }

int32_t DefaultInstallerLanguage() {
  return FindInstallerLanguage(DefaultLanguageCode(DisplayPrimaryLanguage(), false));
}
