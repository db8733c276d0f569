// The round trip over every class the registry can make: each report
// object placed where a report holds it (or, outside a report, streamed on
// its own), every published property that streams set to a value other
// than the one it has, saved in both forms and loaded afresh. Every
// published property of every object and the object tree (names, classes,
// parents, order) come back; the report prints the same pages after the
// round trip and in the background. A property that cannot be given
// another value, or does not come back, fails naming its class.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <set>

#include "platform/classes/registered.h"
#include "report/engine/ppAutoSearchField.h"
#include "report/engine/ppGroup.h"
#include "report/engine/ppSubRpt.h"
#include "report/model/ppUtils.h"
#include "tests/report/components/ppTemplateSupport.h"
#include "tests/report/output/ppPrintr_fixture.h"

using namespace template_support;

namespace {

// Properties no value can be given to: the footer bands are always
// static. A template's own settings (its location) are not loaded from
// the template.
const std::set<std::string> kFixed = {"TppFooterBand.PrintHeight", "TppColumnFooterBand.PrintHeight",
                                      // A child report that keeps its definition in its template
                                      // file loads it while the main report loads.
                                      "TppChildReport.SaveAsTemplate"};
const std::set<std::string> kNotCarried = {"Template"};

// The published properties and events each report class must have, names
// only; a class has the rows of its ancestors too. A class that does not
// publish one fails, and so does one that publishes it without streaming
// it: the round trip changes every listed property, whether or not it is
// stored under its own name, and expects it back.
struct TListedRow {
  const char* Class;
  std::vector<std::string> Names;
};
const TListedRow kListed[] = {
    {"TppCustomReport",
     {"AutoStop", "Columns", "ColumnPositions", "ColumnWidth", "DataPipeline", "NoDataBehaviors", "OnEndColumn",
      "OnEndFirstPass", "OnEndPage", "OnEndSecondPass", "OnNoData", "OnPrintingComplete", "OnSaveText",
      "OnStartColumn", "OnStartFirstPass", "OnStartPage", "OnStartSecondPass", "PageLimit", "PassSetting",
      "PrinterSetup", "SaveAsTemplate", "Template", "Units"}},
    {"TppBand",
     {"AfterGenerate", "AfterPrint", "BeforeGenerate", "BeforePrint", "BottomOffset", "Height", "PrintHeight",
      "PrintPosition", "Save", "Visible"}},
    {"TppPageBand", {"PrintOnFirstPage", "PrintOnLastPage"}},
    {"TppReportBand", {"NewPage"}},
    {"TppDetailBand", {"BandsPerRecord", "ColumnTraversal", "DataPipeline", "PrintCount"}},
    {"TppPageStyle", {"EndPage", "PageList", "PageSetting", "SinglePage", "StartPage", "ValidPages"}},
    {"TppVariable",
     {"AutoSize", "Color", "Font", "TextAlignment", "Transparent", "Visible", "WordWrap", "OnDrawCommandClick",
      "OnDrawCommandCreate", "UserName", "Left", "Top", "Width", "Height", "DisplayFormat", "CalcType",
      "CalcComponent", "CalcOrder", "DataType", "LookAhead", "OnCalc", "OldOnCalc", "OnFormat", "OnReset",
      "ResetType", "ResetComponent"}},
};

std::set<std::string> Listed(cls::TClass c) {
  std::set<std::string> names;
  for (; c; c = c->Parent)
    for (const TListedRow& row : kListed)
      if (c->Name == row.Class) names.insert(row.Names.begin(), row.Names.end());
  return names;
}

// The name of the form's published method that M calls; empty when none.
std::string HandlerName(const cls::TMethod& m, cls::TComponent* form) {
  if (!m.Assigned()) return "";
  for (cls::TClass c = form->ClassType(); c; c = c->Parent)
    if (c->Methods)
      for (const cls::TMethodInfo& mi : *c->Methods)
        if (mi.Bind(form) == m) return mi.Name;
  return "?";
}

std::string ComponentName(cls::TObject* o) {
  auto* c = cls::ObjectAs<cls::TComponent>(o);
  return c ? c->Name() + ":" + c->ClassName() : o ? o->ClassName() : "nil";
}

// Every published property of O as text, sub-objects' too ("Font.Size").
void Describe(cls::TObject* o, cls::TComponent* form, const std::string& prefix,
              std::vector<std::pair<std::string, std::string>>& out, int depth = 0) {
  if (!o || depth > 4) return;
  for (const cls::TPropInfo* p : cls::GetPropList(o->ClassType())) {
    if (depth == 0 && kNotCarried.count(p->Name)) continue;
    std::string name = prefix + p->Name, text;
    switch (p->Kind()) {
      case cls::tkInteger: case cls::tkChar: case cls::tkInt64: case cls::tkEnumeration: case cls::tkSet:
        if (p->GetOrd) text = std::to_string(p->GetOrd(o));
        break;
      case cls::tkFloat:
        if (p->GetFloat) {
          char b[40];
          std::snprintf(b, sizeof b, "%.9g", p->GetFloat(o));
          text = b;
        }
        break;
      case cls::tkString:
        if (p->GetStr) text = p->GetStr(o);
        break;
      case cls::tkVariant:
        if (p->GetVariant) {
          cls::Variant v = p->GetVariant(o);
          text = std::string(cls::VarTypeName(v.VarType())) + " " + (v.IsEmpty() || v.IsNull() ? "" : v.AsString());
        }
        break;
      case cls::tkMethod:
        if (p->GetMethod) text = HandlerName(p->GetMethod(o), form);
        break;
      case cls::tkClass: {
        cls::TObject* v = p->GetObj ? p->GetObj(o) : nullptr;
        if (auto* list = cls::ObjectAs<cls::TStringList>(v)) text = list->Text();
        else if (!v || cls::ObjectIs<cls::TComponent>(v)) text = ComponentName(v);
        else Describe(v, form, name + ".", out, depth + 1);
        break;
      }
      default:
        break;
    }
    out.emplace_back(name, text);
  }
}

// The stream's tree below TOP: each object with its parent, in order.
void Walk(cls::TComponent* top, cls::TComponent* form, std::vector<cls::TComponent*>& objects,
          std::vector<std::string>& tree, cls::TComponent* parent = nullptr) {
  objects.push_back(top);
  tree.push_back(ComponentName(top) + " in " + ComponentName(parent));
  top->GetChildren([&](cls::TComponent* child) { Walk(child, form, objects, tree, top); }, form);
}

// Gives property P of O a value other than its own; an empty answer when
// it took one, else why not.
class TChanger {
 public:
  explicit TChanger(cls::TComponent* form) : form_(form) {}

  // Every published property of O that streams.
  void ChangeAll(cls::TObject* o, const std::string& place, std::vector<std::string>& failures, int depth = 0) {
    const std::set<std::string> listed = depth == 0 ? Listed(o->ClassType()) : std::set<std::string>();
    for (const cls::TPropInfo* p : cls::GetPropList(o->ClassType())) {
      bool stored = p->IsStored(o) || listed.count(p->Name);
      if (!stored || kFixed.count(place + "." + p->Name) || (depth == 0 && kNotCarried.count(p->Name))) continue;
      if (p->Kind() == cls::tkClass) {
        cls::TObject* v = p->GetObj ? p->GetObj(o) : nullptr;
        if (v && !cls::ObjectIs<cls::TComponent>(v) && !cls::ObjectIs<cls::TStringList>(v)) {
          if (depth < 4) ChangeAll(v, place + "." + p->Name, failures, depth + 1);
          continue;
        }
        if (p->ReadOnly() && !cls::ObjectIs<cls::TStringList>(v)) continue;
      } else if (p->ReadOnly()) {
        continue;
      }
      if (!Change(o, *p)) refused_.push_back({o, p, place});
    }
  }

  // The properties refused so far, each tried again now that every object
  // has its values: after each value of each of its object's enumerations
  // (a bar code's add-on code needs an EAN type). What still takes no
  // other value is a failure.
  void Retry(std::vector<std::string>& failures) {
    for (auto [o, p, place] : refused_) {
      bool changed = Change(o, *p);
      for (const cls::TPropInfo* e : cls::GetPropList(o->ClassType())) {
        if (changed) break;
        if (e == p || e->Kind() != cls::tkEnumeration || e->ReadOnly() || !e->IsStored(o)) continue;
        int64_t count = std::max<int64_t>(static_cast<int64_t>(e->Type->EnumNames.size()), 2);
        for (int64_t v = 0; v < count && !changed; ++v) {
          try {
            e->SetOrd(o, v);
          } catch (const cls::Exception&) {
            continue;
          }
          changed = Change(o, *p);
        }
      }
      if (!changed) failures.push_back(place + "." + p->Name + " takes no other value");
    }
    refused_.clear();
  }

 private:
  bool Change(cls::TObject* o, const cls::TPropInfo& p) {
    std::vector<std::pair<std::string, std::string>> before, after;
    Describe(o, form_, "", before);
    auto changed = [&] {
      after.clear();
      Describe(o, form_, "", after);
      for (size_t i = 0; i < before.size(); ++i)
        if (before[i].first == p.Name) return after[i].second != before[i].second;
      return false;
    };
    auto attempt = [&](const std::function<void()>& set) {
      try {
        set();
      } catch (const cls::Exception&) {
        return false;
      }
      return changed();
    };
    switch (p.Kind()) {
      case cls::tkInteger: case cls::tkChar: case cls::tkInt64: {
        int64_t v = p.GetOrd(o);
        for (int64_t next : {v + 3, v + 1, v - 1, int64_t{2}, int64_t{1}})
          if (attempt([&] { p.SetOrd(o, next); })) return true;
        return false;
      }
      case cls::tkEnumeration: {
        int64_t v = p.GetOrd(o);
        int64_t count = static_cast<int64_t>(p.Type->EnumNames.size());
        for (int64_t i = 1; i < std::max<int64_t>(count, 2); ++i)
          if (attempt([&] { p.SetOrd(o, (v + i) % std::max<int64_t>(count, 2)); })) return true;
        return false;
      }
      case cls::tkSet: {
        int64_t v = p.GetOrd(o);
        for (int bit = 0; bit < static_cast<int>(p.Type->ElementType->EnumNames.size()); ++bit)
          if (attempt([&] { p.SetOrd(o, v ^ (int64_t{1} << bit)); })) return true;
        return false;
      }
      case cls::tkFloat: {
        double v = p.GetFloat(o);
        for (double next : {v + 1.25, v + 0.5, v - 0.5, 2.0})
          if (attempt([&] { p.SetFloat(o, next); })) return true;
        return false;
      }
      case cls::tkString:
        for (const char* next : {"Office", "Item", "Zq1", "1", "", "TextFile", "A4", "User Defined", "MetaFile"})
          if (attempt([&] { p.SetStr(o, next); })) return true;
        return false;
      case cls::tkVariant:
        for (const cls::Variant& next : {cls::Variant(42), cls::Variant(std::string("Item")), cls::Variant(true)})
          if (attempt([&] { p.SetVariant(o, next); })) return true;
        return false;
      case cls::tkMethod:
        for (cls::TClass c = form_->ClassType(); c; c = c->Parent)
          if (c->Methods)
            for (const cls::TMethodInfo& mi : *c->Methods)
              if (attempt([&] { p.SetMethod(o, mi.Bind(form_)); })) return true;
        return false;
      case cls::tkClass: {
        cls::TObject* v = p.GetObj(o);
        if (auto* list = cls::ObjectAs<cls::TStringList>(v)) {
          cls::TStringList lines;
          lines.Add("2");
          lines.Add("3");
          return attempt([&] {
            if (p.SetObj) p.SetObj(o, &lines);
            else list->Assign(&lines);
          });
        }
        // Another component of the class the property takes.
        cls::TClass wanted = p.Type ? p.Type->ClassType : nullptr;
        for (int i = 0; i < form_->ComponentCount(); ++i) {
          cls::TComponent* c = form_->Components(i);
          if (c == o || c == v || (wanted && !c->InheritsFrom(wanted))) continue;
          if (attempt([&] { p.SetObj(o, c); })) return true;
        }
        return false;
      }
      default:
        return false;
    }
  }

  struct TRefused {
    cls::TObject* Object;
    const cls::TPropInfo* Prop;
    std::string Place;
  };
  cls::TComponent* form_;
  std::vector<TRefused> refused_;
};

class RoundTrip : public Printers {
 protected:
  void SetUp() override {
    Printers::SetUp();
    Install(RecordingZolmet(), true);
    // A second printer, with papers of its own, to change to.
    Install(Office("Office"));
    RegisterWholeForm();
  }
  void TearDown() override {
    ppBackgroundPrintFinalize();
    ui::Application().Shutdown();
    Printers::TearDown();
  }
};

// The report objects of the registry: classes it can make that derive
// from TppRelative.
std::vector<cls::TClass> ReportClasses() {
  std::vector<cls::TClass> out;
  for (cls::TClass c : cls::RegisteredClasses())
    if (c->Create && c->InheritsFrom(&TppRelative::StaticClass())) out.push_back(c);
  return out;
}

// Where a report holds an object of C: made and placed in F's report;
// nullptr for a class a report does not hold.
cls::TComponent* Place(TWholeForm& f, cls::TClass c, TppDetailBand* detail, TppGroup*& group) {
  TppReport* r = f.report;
  auto named = [&](cls::TComponent* made) {
    made->SetName(GetUniqueName(f.form(), ClassNameWithoutT(made), made));
    return made;
  };
  if (c->InheritsFrom(&TppReport::StaticClass())) return r;
  if (c->InheritsFrom(&TppChildReport::StaticClass())) {
    auto* sub = cls::ObjectAs<TppSubReport>(named(TppSubReport::StaticClass().Create(f.form())));
    sub->SetBand(detail);
    return sub->Report();
  }
  if (c->InheritsFrom(&TppGroup::StaticClass())) {
    group = static_cast<TppGroup*>(named(c->Create(f.form())));
    group->SetReport(r);
    return group;
  }
  if (c->InheritsFrom(&TppGroupBand::StaticClass())) {
    if (!group) group = static_cast<TppGroup*>(Place(f, &TppGroup::StaticClass(), detail, group));
    auto* band = static_cast<TppGroupBand*>(named(c->Create(f.form())));
    band->SetGroup(group);
    return band;
  }
  if (c->InheritsFrom(&TppBand::StaticClass())) {
    if (c == &TppDetailBand::StaticClass()) return detail;
    auto* band = static_cast<TppBand*>(named(c->Create(f.form())));
    band->SetReport(r);
    return band;
  }
  if (c->InheritsFrom(&TppComponent::StaticClass())) {
    auto* made = static_cast<TppComponent*>(named(c->Create(f.form())));
    made->SetBand(detail);
    return made;
  }
  if (c->InheritsFrom(&TppParameterList::StaticClass())) return r->Parameters();
  if (c->InheritsFrom(&TppParameter::StaticClass())) return r->Parameters()->Add("Customer");
  if (c->InheritsFrom(&TppAutoSearchField::StaticClass()))
    return r->CreateAutoSearchCriteria("plOrders", "Item", TppSearchOperatorType::soLike, "A", false);
  return nullptr;
}

// Both objects' published properties, and the trees below them.
void ExpectSame(cls::TComponent* a, cls::TComponent* b, cls::TComponent* formA, cls::TComponent* formB) {
  std::vector<cls::TComponent*> objectsA, objectsB;
  std::vector<std::string> treeA, treeB;
  Walk(a, formA, objectsA, treeA);
  Walk(b, formB, objectsB, treeB);
  ASSERT_EQ(treeB, treeA);
  for (size_t i = 0; i < objectsA.size(); ++i) {
    std::vector<std::pair<std::string, std::string>> propsA, propsB;
    Describe(objectsA[i], formA, "", propsA);
    Describe(objectsB[i], formB, "", propsB);
    ASSERT_EQ(propsA.size(), propsB.size());
    for (size_t k = 0; k < propsA.size(); ++k)
      EXPECT_EQ(propsB[k].second, propsA[k].second)
          << objectsA[i]->ClassName() << "." << propsA[k].first << " of " << objectsA[i]->Name();
  }
}

// F's report holding an object of every report class, every property
// changed; the classes a report does not hold are named in STANDALONE.
void BuildEverything(TWholeForm& f, std::vector<std::string>& failures, std::vector<std::string>& standalone) {
  f.report->SetDataPipeline(f.plOrders);
  auto* detail = f.Band<TppDetailBand>("ppDetailBand1", 20);
  // A second variable, so that the placed one's calculation order can move.
  f.Add<TppVariable>(detail, "ppVariableFirst");
  TppGroup* group = nullptr;
  TChanger changer(f.form());
  for (cls::TClass c : ReportClasses()) {
    if (cls::TComponent* placed = Place(f, c, detail, group)) changer.ChangeAll(placed, c->Name, failures);
    else standalone.push_back(c->Name);
  }
  changer.Retry(failures);
}

}  // namespace

TEST_F(RoundTrip, EveryListedPropertyIsPublished) {
  std::set<std::string> covered;
  for (cls::TClass c : ReportClasses())
    for (const std::string& name : Listed(c)) {
      covered.insert(name);
      EXPECT_NE(cls::GetPropInfo(c, name), nullptr) << c->Name << " does not publish " << name;
    }
  // Every row names a registered class or an ancestor of one.
  for (const TListedRow& row : kListed)
    for (const std::string& name : row.Names) EXPECT_TRUE(covered.count(name)) << row.Class << "." << name;
}

TEST_F(RoundTrip, EveryRegisteredClassAndPropertyComesBackInBothForms) {
  TWholeForm f;
  std::vector<std::string> failures, standalone;
  BuildEverything(f, failures, standalone);
  for (const std::string& failure : failures) ADD_FAILURE() << failure;
  for (TppFormatType format : {TppFormatType::ftBinary, TppFormatType::ftASCII}) {
    SCOPED_TRACE(format == TppFormatType::ftBinary ? "binary" : "text");
    std::string saved = Save(f.report, format);
    TWholeForm g;
    Load(g.report, saved);
    ExpectSame(f.report, g.report, f.form(), g.form());
    // Saved again after the printer was asked for its papers on the way.
    EXPECT_EQ(Save(g.report, format), Save(f.report, format));
  }
  // The classes a report does not hold, each streamed on its own.
  for (const std::string& name : standalone) {
    SCOPED_TRACE(name);
    cls::TClass c = cls::FindClass(name);
    TWholeForm a, b;
    cls::TComponent* made = c->Create(a.form());
    made->SetName("Standalone1");
    std::vector<std::string> own;
    TChanger changeOwn(a.form());
    changeOwn.ChangeAll(made, name, own);
    changeOwn.Retry(own);
    for (const std::string& failure : own) ADD_FAILURE() << failure;
    cls::TMemoryStream s;
    cls::WriteComponent(&s, made, a.form());
    s.SetPosition(0);
    cls::TComponentReader reader;
    cls::TComponent* read = reader.ReadComponent(&s, b.form());
    ASSERT_NE(read, nullptr);
    ExpectSame(made, read, a.form(), b.form());
  }
}

TEST_F(RoundTrip, EveryRegisteredClassPrintsTheSamePagesAfterTheRoundTripAndInTheBackground) {
  TWholeForm f;
  std::vector<std::string> failures, standalone;  // the case above reports them
  BuildEverything(f, failures, standalone);
  // Printed where the recording printer sees it, without dialogs.
  testing_support::PrintOnZolmet(f.report);
  f.report->SetShowAutoSearchDialog(false);
  f.report->SetPageLimit(20);
  f.report->SetUnits(utMillimeters);
  // Positions of their own would need one for each column.
  f.report->SetColumnPositions(cls::TStringList());
  auto before = PrintedPages(f.report);
  ASSERT_FALSE(before.empty());
  for (TppFormatType format : {TppFormatType::ftBinary, TppFormatType::ftASCII}) {
    TWholeForm g;
    Load(g.report, Save(f.report, format));
    EXPECT_EQ(PrintedPages(g.report), before);
  }
  EXPECT_EQ(BackgroundPages(f.report), before);
}
