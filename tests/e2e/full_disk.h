// Drive C of a test's system root on a small tmpfs of its own (mounting it
// needs root: the fixture skips without), filled to leave a chosen room;
// the demo reply of the print-data server. Shared by the fault tests of
// the print program.
#pragma once
#include <sys/mount.h>
#include <sys/statvfs.h>

#include <cstring>

#include "tests/e2e/print_program.h"

namespace print_e2e {

// The demo reply of the print-data server.
class DemoServer {
 public:
  DemoServer() : server_(std::string(ZOLMET_SOURCE_DIR) + "/tools/printdata-server/receipts", "/Zolmet/") {}
  std::string Request() { return "10.1.1.1," + server_.host() + ",/Zolmet/,demoXJ"; }

 private:
  printdata_test::ServerProcess server_;
};

inline std::vector<fs::path> Files(const std::string& folder, const std::string& extension) {
  std::vector<fs::path> out;
  std::error_code ec;
  for (auto& e : fs::directory_iterator(folder, ec))
    if (e.path().extension() == extension) out.push_back(e.path());
  return out;
}

inline bool PdfReads(const fs::path& pdf) {
  return fs::exists(pdf) && Shell("pdfinfo '" + pdf.string() + "' >/dev/null 2>&1 && echo ok") == "ok\n";
}

// Drive C of the root (all but the program, which is far larger than the
// disk) on a tmpfs of its own.
class FullDisk : public PrintProgram {
 protected:
  void SetUp() override {
    if (geteuid() != 0) GTEST_SKIP() << "not root: the test mounts a small tmpfs";
    ASSERT_NO_FATAL_FAILURE(PrintProgram::SetUp());
    drive_ = root_.path() + "/C";
    const std::string kept = root_.path() + "/C-on-disk";
    fs::rename(drive_, kept);
    fs::create_directory(drive_);
    std::uintmax_t used = 0;
    for (auto& e : fs::recursive_directory_iterator(kept))
      if (e.is_regular_file() && e.path().string().find("/Program Files/") == std::string::npos)
        used += (e.file_size() + 4095) / 4096 * 4096 + 4096;
    const std::string options = "size=" + std::to_string(used / 1024 + 2048) + "k,mode=0755";
    ASSERT_EQ(mount("tmpfs", drive_.c_str(), "tmpfs", 0, options.c_str()), 0) << std::strerror(errno);
    mounted_ = true;
    for (auto& e : fs::directory_iterator(kept)) {
      const fs::path to = fs::path(drive_) / e.path().filename();
      if (e.path().filename() == "Program Files") fs::create_directory_symlink(e.path(), to);
      else fs::copy(e.path(), to, fs::copy_options::recursive);
    }
  }
  void TearDown() override {
    if (mounted_) umount2(drive_.c_str(), MNT_DETACH);
  }

  // Leaves FREE bytes free on the drive, the filler taking the rest.
  void LeaveFree(std::uintmax_t free) {
    const std::string filler = drive_ + "/filler";
    fs::remove(filler);
    struct statvfs st;
    ASSERT_EQ(statvfs(drive_.c_str(), &st), 0);
    std::uintmax_t now = std::uintmax_t{st.f_bavail} * st.f_frsize;
    ASSERT_GE(now, free);
    int fd = open(filler.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0);
    const std::string zeros(4096, '\0');
    for (std::uintmax_t n = now - free; n > 0; n -= 4096) ASSERT_EQ(write(fd, zeros.data(), 4096), 4096);
    close(fd);
    ASSERT_EQ(statvfs(drive_.c_str(), &st), 0);
    ASSERT_EQ(std::uintmax_t{st.f_bavail} * st.f_frsize, free);
  }

  std::string drive_;
  bool mounted_ = false;
};

}  // namespace print_e2e
