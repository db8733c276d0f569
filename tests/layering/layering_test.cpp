// Dependencies point down only: every #include "..." of the source tree is
// checked against the table of layers below. An include its file's layer
// may not use fails the test with the file and the line.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <unistd.h>
#include <vector>

#include "tests/support/testroot.h"

namespace fs = std::filesystem;

namespace {

// A layer (a folder of the tree) and the layers its files may include. A
// layer given as "report" stands for all of report/; "*" for anything.
struct Layer {
  const char* folder;
  std::vector<const char*> mayInclude;
};

// clang-format off
const std::vector<Layer> kLayers = {
  {"platform",          {"platform"}},
  {"common",            {"platform", "common"}},
  // The report library: model <- output <- engine <- components <- forms.
  {"report/model",      {"platform", "report/model"}},
  {"report/output",     {"platform", "report/model", "report/output"}},
  {"report/engine",     {"platform", "report/model", "report/output", "report/engine"}},
  {"report/components", {"platform", "report/model", "report/output", "report/engine",
                         "report/components"}},
  {"report/forms",      {"platform", "report/model", "report/output", "report/engine",
                         "report/components", "report/forms"}},
  {"printclient",       {"platform", "common", "report", "printclient"}},
  {"control",           {"platform", "common", "control"}},
  {"installer",         {"platform", "common", "installer"}},
  {"tools",             {"platform", "common", "tools"}},
  {"tests",             {"*"}},
  {"bench",             {"*"}},
  {"fuzz",              {"*"}},
};
// clang-format on

bool IsSource(const fs::path& p) {
  static const std::vector<std::string> kinds = {".h", ".hpp", ".inc", ".c", ".cc", ".cpp"};
  return std::find(kinds.begin(), kinds.end(), p.extension().string()) != kinds.end();
}

// True when RELATIVE (a path from the top, "/"-separated) lies in FOLDER.
bool In(const std::string& relative, const std::string& folder) {
  return relative.size() > folder.size() && relative.compare(0, folder.size(), folder) == 0 &&
         relative[folder.size()] == '/';
}

// The layer of a file: its deepest folder in the table, or nullptr.
const Layer* LayerOf(const std::string& relative) {
  const Layer* best = nullptr;
  for (const Layer& l : kLayers)
    if (In(relative, l.folder) && (!best || std::string(l.folder).size() > std::string(best->folder).size()))
      best = &l;
  return best;
}

bool MayInclude(const Layer& from, const std::string& target) {
  for (const char* allowed : from.mayInclude)
    if (std::string(allowed) == "*" || In(target, allowed)) return true;
  return false;
}

bool AllowsAnything(const Layer& l) {
  return std::any_of(l.mayInclude.begin(), l.mayInclude.end(), [](const char* a) { return std::string(a) == "*"; });
}

// What INCLUDE names, as a path from ROOT: from the top of the tree when
// its first folder is a layer's, else beside FILE. Empty when neither
// exists or the path leaves the tree.
std::string Resolve(const fs::path& root, const fs::path& file, const std::string& include) {
  std::error_code ec;
  for (const fs::path& base : {root, file.parent_path()}) {
    fs::path p = (base / include).lexically_normal();
    if (!fs::is_regular_file(p, ec)) continue;
    std::string relative = p.lexically_relative(root).generic_string();
    if (relative.empty() || relative.rfind("..", 0) == 0) return {};
    return relative;
  }
  return {};
}

// Every include of the tree at ROOT that its layer forbids, as
// "file:line: ..." lines. Files outside every layer are listed too, so the
// table stays complete.
std::vector<std::string> Violations(const fs::path& root) {
  static const std::regex include(R"re(^\s*#\s*include\s*"([^"]+)")re");
  std::vector<std::string> out;
  std::vector<fs::path> files;
  for (const Layer& l : kLayers) {
    std::string top(l.folder);
    top = top.substr(0, top.find('/'));
    if (fs::is_directory(root / top) && std::find(files.begin(), files.end(), root / top) == files.end())
      files.push_back(root / top);
  }
  std::vector<fs::path> sources;
  for (const fs::path& dir : files)
    for (const auto& e : fs::recursive_directory_iterator(dir))
      if (e.is_regular_file() && IsSource(e.path())) sources.push_back(e.path());
  std::sort(sources.begin(), sources.end());

  for (const fs::path& file : sources) {
    std::string name = file.lexically_relative(root).generic_string();
    const Layer* layer = LayerOf(name);
    if (!layer) {
      out.push_back(name + ": in no layer of the table");
      continue;
    }
    std::ifstream in(file);
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
      std::smatch m;
      if (!std::regex_search(line, m, include)) continue;
      std::string target = Resolve(root, file, m[1].str());
      std::string where = name + ":" + std::to_string(number) + ": ";
      if (AllowsAnything(*layer)) continue;
      if (target.empty()) {
        out.push_back(where + "\"" + m[1].str() + "\" is not a file of the tree");
      } else if (!MayInclude(*layer, target)) {
        out.push_back(where + layer->folder + " may not include " + target);
      }
    }
  }
  return out;
}

std::string Lines(const std::vector<std::string>& v) {
  std::string s;
  for (const auto& l : v) s += "  " + l + "\n";
  return s;
}

TEST(Layering, EveryIncludeOfTheTreePointsDown) {
  std::vector<std::string> found = Violations(ZOLMET_SOURCE_DIR);
  EXPECT_TRUE(found.empty()) << "Includes against the layers:\n" << Lines(found);
}

// The checker itself, on a small tree of its own.
class LayeringChecker : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("zolmet-layers-" + std::to_string(::getpid()));
    fs::remove_all(root_);
  }
  void TearDown() override { fs::remove_all(root_); }
  void Put(const std::string& name, const std::string& text) {
    testing_support::WriteFile((root_ / name).string(), text);
  }
  fs::path root_;
};

TEST_F(LayeringChecker, NamesUpwardIncludesByFileAndLine) {
  Put("platform/gdi/gdi.h", "#pragma once\n");
  Put("platform/gdi/dc.cpp", "#include \"gdi.h\"\n// #include \"report/model/ppUtils.h\"\n"
                             "  #  include \"report/model/ppUtils.h\"\n");
  Put("report/model/ppUtils.h", "#include \"platform/gdi/gdi.h\"\n");
  Put("report/model/ppComm.cpp", "#include \"report/output/ppPrintr.h\"\n");
  Put("report/output/ppPrintr.h", "#include \"report/model/ppUtils.h\"\n#include \"common/uuCommon.h\"\n");
  Put("common/uuCommon.h", "#include <string>\n");
  Put("control/uuCoding.cpp", "#include \"../printclient/uuPrintData.h\"\n#include \"common/uuCommon.h\"\n");
  Put("printclient/uuPrintData.h", "#include \"report/output/ppPrintr.h\"\n#include \"common/uuCommon.h\"\n");
  Put("tools/page/main.cpp", "#include \"report/model/ppUtils.h\"\n#include \"generated.h\"\n");
  Put("fuzz/fuzz_x.cpp", "#include \"printclient/uuPrintData.h\"\n#include \"nowhere.h\"\n");
  Put("tests/report/t.cpp", "#include \"control/uuCoding.cpp\"\n");
  Put("report/extra/u.cpp", "#include \"report/model/ppUtils.h\"\n");

  std::vector<std::string> expected = {
      "platform/gdi/dc.cpp:3: platform may not include report/model/ppUtils.h",
      "report/extra/u.cpp: in no layer of the table",
      "report/model/ppComm.cpp:1: report/model may not include report/output/ppPrintr.h",
      "report/output/ppPrintr.h:2: report/output may not include common/uuCommon.h",
      "control/uuCoding.cpp:1: control may not include printclient/uuPrintData.h",
      "tools/page/main.cpp:1: tools may not include report/model/ppUtils.h",
      "tools/page/main.cpp:2: \"generated.h\" is not a file of the tree",
  };
  std::vector<std::string> found = Violations(root_);
  std::sort(expected.begin(), expected.end());
  std::sort(found.begin(), found.end());
  EXPECT_EQ(found, expected) << Lines(found);
}

TEST_F(LayeringChecker, AnIncludeLeavingTheTreeIsNotAFileOfIt) {
  // A file beside the tree, reached by climbing out of it.
  std::string outside = root_.filename().string() + "-outside.h";
  testing_support::WriteFile((root_.parent_path() / outside).string(), "");
  Put("common/a.h", "#include \"../../" + outside + "\"\n");
  std::vector<std::string> found = Violations(root_);
  fs::remove(root_.parent_path() / outside);
  EXPECT_EQ(found, std::vector<std::string>{"common/a.h:1: \"../../" + outside + "\" is not a file of the tree"});
}

}  // namespace
