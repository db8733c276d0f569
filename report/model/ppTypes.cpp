#include "report/model/ppTypes.h"

#include <mutex>

#include "report/model/ppComm.h"

namespace {

struct Entry {
  std::string name;
  const cls::TTypeInfo* description;
};

std::mutex g_mutex;
std::vector<Entry>& Entries() {
  static std::vector<Entry> list;
  return list;
}

}  // namespace

void RegisterEnumType(const std::string& typeName, const cls::TTypeInfo* description) {
  std::lock_guard<std::mutex> lock(g_mutex);
  for (Entry& e : Entries())
    if (cls::SameText(e.name, typeName)) {
      e.description = description;
      return;
    }
  Entries().push_back(Entry{typeName, description});
}

void UnregisterEnumType(const std::string& typeName) {
  std::lock_guard<std::mutex> lock(g_mutex);
  auto& v = Entries();
  for (auto it = v.begin(); it != v.end(); ++it)
    if (cls::SameText(it->name, typeName)) {
      v.erase(it);
      return;
    }
}

const cls::TTypeInfo* FindEnumType(const std::string& typeName) {
  std::lock_guard<std::mutex> lock(g_mutex);
  for (const Entry& e : Entries())
    if (cls::SameText(e.name, typeName)) return e.description;
  return nullptr;
}

std::vector<std::string> RegisteredEnumTypeNames() {
  std::lock_guard<std::mutex> lock(g_mutex);
  std::vector<std::string> out;
  for (const Entry& e : Entries()) out.push_back(e.name);
  return out;
}

int VarEventToEventId(TppVarEventType eventType) {
  switch (eventType) {
    case veTraversal: return ciEngineTraversal;
    case veDataPipelineTraversal: return ciPipelineTraversal;
    case vePageStart: return ciReportStartPage;
    case vePageEnd: return ciReportEndPage;
    case veColumnStart: return ciReportStartColumn;
    case veColumnEnd: return ciReportEndColumn;
    case veReportStart: return ciEngineReportStart;
    case veReportEnd: return ciEngineReportEnd;
    case veGroupStart: return ciGroupBeforeGroupBreak;
    case veGroupEnd: return ciGroupAfterGroupBreak;
    case veGroupBeforeHeader: return ciGroupBeforeHeader;
    case veGroupBeforeFooter: return ciGroupBeforeFooter;
  }
  return -1;
}
