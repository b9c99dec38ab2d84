// The layers of README.md's drawing, checked on the #include lines of src/ and corvane/: a file
// may include its own layer and the layers its row names, nothing above or beside.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Layer {
  std::string name;
  // Folders relative to the source tree: a file belongs to the layer whose folder is its own or
  // the nearest above it ("src/dialogs" holds every dialog family below it); a folder ending in
  // "=" holds only its own files.
  std::vector<std::string> folders;
  std::set<std::string> uses;  // the layers it may include besides itself
};

const std::set<std::string> kBottom = {"base", "automation", "platform"};

std::set<std::string> with(std::set<std::string> s, std::initializer_list<std::string> more) {
  s.insert(more);
  return s;
}

const std::vector<Layer>& layers() {
  static const std::set<std::string> ini = with(kBottom, {"ini"});
  static const std::set<std::string> ctx = with(ini, {"context"});
  static const std::set<std::string> loc = with(ctx, {"widgets", "localisation"});
  static const std::set<std::string> users = with(loc, {"users"});
  static const std::set<std::string> global = with(users, {"global"});
  static const std::set<std::string> dialogs = with(global, {"dialogs"});
  static const std::vector<Layer> all = {
      {"base", {"src/base"}, {}},
      {"automation", {"src/automation"}, {"base"}},
      {"platform", {"src/platform"}, {"base"}},
      {"ini", {"src/ini"}, {"base", "platform"}},
      {"context", {"src/context"}, ini},
      {"widgets", {"src/widgets"}, ctx},
      {"localisation", {"src/localisation"}, with(ctx, {"widgets"})},
      {"users", {"src/users"}, loc},
      {"global", {"src/global"}, users},
      {"dialogs", {"src/dialogs"}, global},
      {"application", {"src=", "src/app", "src/tools"}, dialogs},
      {"corvane", {"corvane"}, ini},
  };
  return all;
}

const Layer* layerOfFolder(const std::string& folder) {
  const Layer* best = nullptr;
  size_t bestLength = 0;
  for (const Layer& l : layers())
    for (std::string f : l.folders) {
      const bool exact = !f.empty() && f.back() == '=';
      if (exact) f.pop_back();
      const bool inside = folder == f || (!exact && folder.size() > f.size() && folder.compare(0, f.size(), f) == 0 &&
                                          folder[f.size()] == '/');
      if (inside && f.size() >= bestLength) {
        best = &l;
        bestLength = f.size();
      }
    }
  return best;
}

const fs::path kRoot = JEX_SOURCE_DIR;

// The folder of an included file, resolved as the compiler does (src/ and the top directory are
// the include roots, then the including file's folder); empty for a header outside the tree.
std::string includedFolder(const fs::path& from, const std::string& include) {
  for (const fs::path& base : {kRoot / "src", kRoot, from.parent_path()})
    if (fs::exists(base / include)) return fs::relative((base / include).parent_path(), kRoot).generic_string();
  return {};
}

std::vector<fs::path> sources() {
  std::vector<fs::path> files;
  for (const char* top : {"src", "corvane"})
    for (const auto& e : fs::recursive_directory_iterator(kRoot / top))
      if (e.is_regular_file() && (e.path().extension() == ".h" || e.path().extension() == ".cpp"))
        files.push_back(e.path());
  return files;
}

TEST(Layers, EveryFolderIsDrawn) {
  std::set<std::string> folders;
  for (const fs::path& file : sources()) folders.insert(fs::relative(file.parent_path(), kRoot).generic_string());
  for (const std::string& folder : folders)
    EXPECT_NE(layerOfFolder(folder), nullptr) << folder << " has no layer: draw it in README.md and here";
}

TEST(Layers, NoIncludeGoesUpOrSideways) {
  const std::regex includeLine(R"(^\s*#\s*include\s*"([^"]+)\")");
  size_t edges = 0;
  for (const fs::path& file : sources()) {
    const Layer* from = layerOfFolder(fs::relative(file.parent_path(), kRoot).generic_string());
    if (!from) continue;
    std::ifstream in(file);
    std::string line;
    for (int n = 1; std::getline(in, line); ++n) {
      std::smatch m;
      if (!std::regex_search(line, m, includeLine)) continue;
      const Layer* to = layerOfFolder(includedFolder(file, m[1].str()));
      if (!to) continue;
      ++edges;
      EXPECT_TRUE(to == from || from->uses.count(to->name))
          << fs::relative(file, kRoot).generic_string() << ":" << n << " (" << from->name << ") includes \""
          << m[1].str() << "\" (" << to->name << ")";
    }
  }
  EXPECT_GT(edges, 100u) << "the include lines were not found under " << kRoot;
}

}  // namespace
