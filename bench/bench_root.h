// A fresh system root for one bench run, laid out and made current; removed
// when the bench ends.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>

#include "platform/sysroot/layout.h"
#include "platform/sysroot/sysroot.h"

namespace bench_support {

class TempRoot {
 public:
  TempRoot() {
    char tmpl[] = "/tmp/zolmet-bench-XXXXXX";
    path_ = mkdtemp(tmpl) ? tmpl : "";
    sysroot::LayOut(path_);
    sysroot::SetRoot(path_);
  }
  ~TempRoot() {
    sysroot::SetRoot("");
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempRoot(const TempRoot&) = delete;
  TempRoot& operator=(const TempRoot&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace bench_support
