// Switches the calling thread's LC_CTYPE locale for a scope (uselocale), as
// the library's code-set rules are read under the calling thread's locale.
#pragma once

#include <locale.h>

#include <clocale>

namespace vex::test {

class ThreadLocale {
 public:
  explicit ThreadLocale(const char* name) {
    locale_ = ::newlocale(LC_CTYPE_MASK, name, static_cast<locale_t>(0));
    if (locale_) previous_ = ::uselocale(locale_);
  }
  ~ThreadLocale() {
    if (locale_) {
      ::uselocale(previous_);
      ::freelocale(locale_);
    }
  }
  ThreadLocale(const ThreadLocale&) = delete;
  ThreadLocale& operator=(const ThreadLocale&) = delete;
  bool Ok() const { return locale_ != static_cast<locale_t>(0); }

 private:
  locale_t locale_{};
  locale_t previous_{};
};

}  // namespace vex::test
