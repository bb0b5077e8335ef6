#include "toolkit/exceptions.h"

namespace toolkit {

const char *Exception::what() const noexcept {
  if (utf8_.empty())
    utf8_ = message_.toStdString();
  return utf8_.c_str();
}

} // namespace toolkit
