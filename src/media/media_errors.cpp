#include "media/media_errors.h"

#include "classlib/sysutils.h"
#include "platform/media_platform.h"

HRESULT CheckMediaResult(HRESULT result) {
  if (SUCCEEDED(result)) return result;
  throw EDirectShowException(
      platform::ErrorText(result) + Format(L" ($%X).", static_cast<unsigned>(result)), result);
}
