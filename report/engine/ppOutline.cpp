#include "report/engine/ppOutline.h"

#include <algorithm>
#include <mutex>

#include "platform/classes/typinfo.h"
#include "report/engine/ppBands.h"
#include "report/engine/ppCustEng.h"
#include "report/engine/ppCustRpt.h"
#include "report/engine/ppGroup.h"
#include "report/engine/ppReport.h"
#include "report/engine/ppSubRpt.h"
#include "report/model/ppResMgr.h"
#include "report/output/ppOutlineDrawCommand.h"

CLS_IMPLEMENT_CLASS(TppOutlineSettings)
CLS_IMPLEMENT_CLASS(TppOutlineReportSettings)
CLS_IMPLEMENT_COMPONENT(TppOutline)
CLS_IMPLEMENT_COMPONENT(TppOutlineNodeCreator)
CLS_IMPLEMENT_COMPONENT(TppOutlineReportNodeCreator)
CLS_IMPLEMENT_COMPONENT(TppOutlineGroupNodeCreator)

// ---- settings ----

void TppOutlineSettings::Assign(cls::TPersistent* source) {
  auto* from = cls::ObjectAs<TppOutlineSettings>(source);
  if (!from) {
    inherited::Assign(source);
    return;
  }
  createNode_ = from->createNode_;
  Changed();
}

void TppOutlineSettings::SetCreateNode(bool v) {
  createNode_ = v;
  Changed();
}

void TppOutlineSettings::Changed() {
  if (!owner_ || owner_->HasState(cls::csLoading) || owner_->HasState(cls::csReading)) return;
  if (auto* participant = dynamic_cast<IppOutlineParticipant*>(owner_)) participant->OutlineSettingsChanged();
}

void TppOutlineSettings::RegisterProperties() {
  using S = TppOutlineSettings;
  cls::TPropInfo p = cls::OrdProperty<S, bool>("CreateNode", cls::TypeInfoBoolean(), &S::CreateNode, &S::SetCreateNode);
  p.HasDefault = true;
  p.Default = 1;
  cls::PublishProperty(S::StaticClass(), std::move(p));
}

void TppOutlineReportSettings::Assign(cls::TPersistent* source) {
  if (auto* from = cls::ObjectAs<TppOutlineReportSettings>(source)) {
    createPageNodes_ = from->createPageNodes_;
    SetEnabled(from->enabled_);
  }
  inherited::Assign(source);
}

void TppOutlineReportSettings::SetEnabled(bool v) {
  enabled_ = v;
  if (!v) visible_ = false;
}

void TppOutlineReportSettings::RegisterProperties() {
  using S = TppOutlineReportSettings;
  auto& c = S::StaticClass();
  auto boolean = [&](const char* name, bool (S::*get)() const, void (S::*set)(bool)) -> cls::TPropInfo& {
    cls::TPropInfo p = cls::OrdProperty<S, bool>(name, cls::TypeInfoBoolean(), get, set);
    p.HasDefault = true;
    p.Default = 1;
    return cls::PublishProperty(c, std::move(p));
  };
  boolean("CreatePageNodes", &S::CreatePageNodes, &S::SetCreatePageNodes);
  // Enabled before Visible: a stream read in order keeps a stored Visible.
  boolean("Enabled", &S::Enabled, &S::SetEnabled);
  boolean("Visible", &S::Visible, &S::SetVisible).Stored = [](cls::TObject* o) {
    return static_cast<S*>(o)->Enabled();
  };
}

// ---- TppOutline ----

namespace {

TppOutlineNode* NewNode(TppOutlineNode* parent, const std::string& caption, TppOutlineNodeType type, int32_t page) {
  auto* node = new TppOutlineNode(nullptr);
  node->SetCaption(caption);
  node->SetNodeType(type);
  node->SetPageReference(page);
  if (parent) node->SetParent(parent);
  return node;
}

// Creators in pre-order.
void ForEachCreator(TppOutlineNodeCreator* c, const std::function<void(TppOutlineNodeCreator*)>& f) {
  if (!c) return;
  f(c);
  for (int i = 0; i < c->ChildCount(); ++i)
    ForEachCreator(cls::ObjectAs<TppOutlineNodeCreator>(c->GetChild(i)), f);
}

// Group creators children first.
void ForEachGroupCreatorPostOrder(TppOutlineNodeCreator* c, const std::function<void(TppOutlineGroupNodeCreator*)>& f) {
  if (!c) return;
  for (int i = 0; i < c->ChildCount(); ++i)
    ForEachGroupCreatorPostOrder(cls::ObjectAs<TppOutlineNodeCreator>(c->GetChild(i)), f);
  if (auto* g = cls::ObjectAs<TppOutlineGroupNodeCreator>(c)) f(g);
}

}  // namespace

TppOutline::TppOutline(cls::TComponent* owner) : TppCommunicator(owner) { EventMask().Include(ciReportEndPage); }

void TppOutline::BeforeDestruction() {
  SetReport(nullptr);
  FreeTree();
  inherited::BeforeDestruction();
}

void TppOutline::FreeTree() {
  // The creators first: the nodes they queued forget them.
  creators_.reset();
  noOutline_ = nullptr;
  root_.reset();
}

void TppOutline::SetReport(TppCustomReport* report) {
  if (report == report_) return;
  if (report_) {
    report_->RemoveEventNotify(this);
    RemoveNotify(report_);
  }
  report_ = report;
  if (report_) report_->AddEventNotify(this);
}

void TppOutline::Notify(TppCommunicator* communicator, uint8_t operation) {
  inherited::Notify(communicator, operation);
  // The creators hear of it themselves; they go with the next Initialize.
  if (operation == ppopRemove && communicator == report_) report_ = nullptr;
}

TppCustomEngine* TppOutline::Engine() const { return report_ ? report_->Engine() : nullptr; }

void TppOutline::Initialize() {
  if (!report_) throw EOutlineError("TppOutline.Initialize: Report is nil.");
  lastProcessedPage_ = 0;
  complete_ = false;
  FreeTree();
  root_.reset(NewNode(nullptr, "", ntRoot, -1));
  if (DrillDownForbids(report_)) {
    complete_ = true;
    noOutline_ = NewNode(root_.get(), "NoOutline: DrillDown not supported", ntNoOutline, -1);
    return;
  }
  creators_.reset(CreateNodeCreator(report_, nullptr));
}

bool TppOutline::DrillDownForbids(TppCustomReport* report) const {
  for (int b = 0; b < report->BandCount(); ++b) {
    TppBand* band = report->Bands(b);
    for (int i = 0; i < band->ObjectCount(); ++i) {
      auto* s = cls::ObjectAs<TppSubReport>(band->Objects(i));
      if (!s) continue;
      if (s->IsDrillDown() && !s->ExpandAll()) return true;
      if (s->Report() && DrillDownForbids(s->Report())) return true;
    }
  }
  return false;
}

TppOutlineNodeCreator* TppOutline::CreateNodeCreator(cls::TComponent* component, TppOutlineNodeCreator* parent) {
  auto* participant = dynamic_cast<IppOutlineParticipant*>(component);
  if (!participant)
    throw EOutlineError(
        "TppOutline.CreateNodeCreator: The outline participant does not support the IppOutlineParticipant "
        "interface.");
  cls::TClass c = participant->OutlineNodeCreatorClass();
  cls::Owned<TppOutlineNodeCreator> creator(cls::ObjectAs<TppOutlineNodeCreator>(c ? c->Create(nullptr) : nullptr));
  if (!creator) throw EOutlineError("TppOutline.CreateNodeCreator: The node creator class is not a node creator.");
  TppCustomReport* report = parent ? parent->Report() : cls::ObjectAs<TppCustomReport>(component);
  creator->Setup(report, component, this);
  creator->SetParent(parent);
  creator->Init();
  std::vector<cls::TObject*> children;
  participant->OutlineChildren(children);
  for (cls::TObject* child : children)
    if (auto* cc = cls::ObjectAs<cls::TComponent>(child)) CreateNodeCreator(cc, creator.get());
  return creator.release();
}

bool TppOutline::IsPageProcessed() const {
  TppCustomEngine* engine = Engine();
  return engine && lastProcessedPage_ >= 1 && engine->AbsolutePageNo() <= lastProcessedPage_;
}

bool TppOutline::IsComplete() {
  if (!complete_)
    if (TppCustomEngine* engine = Engine()) complete_ = engine->ReportFinished();
  return complete_;
}

void TppOutline::EventNotify(TppCommunicator* sender, int eventId, TraParamList* params) {
  inherited::EventNotify(sender, eventId, params);
  if (eventId == ciReportEndPage && sender == report_ && !IsPageProcessed() && creators_) PageEnded();
}

void TppOutline::PageEnded() {
  ForEachGroupCreatorPostOrder(creators_.get(), [](TppOutlineGroupNodeCreator* g) { g->DropNodeBeforePageEnd(); });
  ForEachCreator(creators_.get(), [](TppOutlineNodeCreator* c) { c->PageEnded(); });
  if (TppCustomEngine* engine = Engine()) lastProcessedPage_ = engine->AbsolutePageNo();
}

void TppOutline::ForgetNodes(TppOutlineNode* subtree) {
  std::vector<TppOutlineNode*> nodes{subtree};
  for (size_t i = 0; i < nodes.size(); ++i)
    for (int k = 0; k < nodes[i]->ChildCount(); ++k)
      if (TppOutlineNode* c = nodes[i]->OutlineChild(k)) nodes.push_back(c);
  ForEachCreator(creators_.get(), [&](TppOutlineNodeCreator* c) {
    for (TppOutlineNode* n : nodes) c->ForgetNode(n);
  });
}

void TppOutline::CreateOutlineDrawCommand() {
  TppCustomEngine* engine = Engine();
  if (!engine || !engine->Page() || !root_) return;
  cls::Owned<TppOutlineDrawCommand> command(new TppOutlineDrawCommand(nullptr));
  command->SetSnapshot(root_->Snapshot());
  command->SetComplete(IsComplete());
  engine->Page()->AddDrawCommand(command.get());
  command.release();
}

void TppOutline::DoNodeCreate(cls::TComponent* component, TppOutlineNode* node, bool& accept) {
  if (OnNodeCreate) OnNodeCreate(component, node, accept);
}

// ---- TppOutlineNodeCreator ----

TppOutlineNodeCreator::TppOutlineNodeCreator(cls::TComponent* owner) : TppRelative(owner) {}

void TppOutlineNodeCreator::BeforeDestruction() {
  for (TppOutlineNode* n : pending_) n->SetNodeCreator(nullptr);
  pending_.clear();
  currentNode_ = nullptr;
  inherited::BeforeDestruction();
}

void TppOutlineNodeCreator::Setup(TppCustomReport* report, cls::TComponent* component, TppOutline* outline) {
  report_ = report;
  component_ = component;
  outline_ = outline;
  if (auto* c = cls::ObjectAs<TppCommunicator>(component)) AddNotify(c);
  if (report && report != component) AddNotify(report);
}

void TppOutlineNodeCreator::Notify(TppCommunicator* communicator, uint8_t operation) {
  inherited::Notify(communicator, operation);
  if (operation != ppopRemove) return;
  if (communicator == component_) component_ = nullptr;
  if (communicator == report_) report_ = nullptr;
}

TppOutlineNodeCreator* TppOutlineNodeCreator::ParentCreator() const {
  return cls::ObjectAs<TppOutlineNodeCreator>(Parent());
}

TppOutlineNode* TppOutlineNodeCreator::ParentNode() const {
  for (TppOutlineNodeCreator* c = ParentCreator(); c; c = c->ParentCreator())
    if (c->currentNode_) return c->currentNode_;
  return outline_ ? outline_->RootNode() : nullptr;
}

bool TppOutlineNodeCreator::CreatePageNodes() const {
  auto* report = cls::ObjectAs<TppReport>(report_);
  return report && report->OutlineSettings()->CreatePageNodes();
}

int32_t TppOutlineNodeCreator::EnginePageNo() const {
  TppCustomEngine* engine = outline_ ? outline_->Engine() : nullptr;
  return engine ? engine->AbsolutePageNo() : 0;
}

bool TppOutlineNodeCreator::ComponentCreatesNodes() const {
  auto* participant = dynamic_cast<IppOutlineParticipant*>(component_);
  TppOutlineSettings* settings = participant ? participant->OutlineSettings() : nullptr;
  return !settings || settings->CreateNode();
}

void TppOutlineNodeCreator::Queue(TppOutlineNode* node) {
  if (!node || !CreatePageNodes()) return;
  if (std::find(pending_.begin(), pending_.end(), node) == pending_.end()) pending_.push_back(node);
  node->SetNodeCreator(this);
}

bool TppOutlineNodeCreator::FireNodeCreate(TppOutlineNode* node) {
  bool accept = true;
  if (outline_) outline_->DoNodeCreate(component_, node, accept);
  return accept;
}

void TppOutlineNodeCreator::AddPageNodes() {
  if (!CreatePageNodes()) return;
  while (!pending_.empty()) {
    TppOutlineNode* node = pending_.front();
    const bool owned = node->HasCreatorChild();
    // The node leaves the queue first: a handler that frees it finds it gone.
    pending_.erase(pending_.begin());
    node->SetNodeCreator(nullptr);
    if (owned) continue;
    const int32_t page = EnginePageNo();
    TppOutlineNode* pageNode = NewNode(node, ppLoadStr(18) + " " + std::to_string(page), ntPage, page);
    if (!FireNodeCreate(pageNode)) pageNode->Free();
  }
}

void TppOutlineNodeCreator::OutlineNodeFreed(TppOutlineNode* node) {
  pending_.erase(std::remove(pending_.begin(), pending_.end(), node), pending_.end());
  NodeRemoved(node);
}

void TppOutlineNodeCreator::ForgetNode(TppOutlineNode* node) { NodeRemoved(node); }

void TppOutlineNodeCreator::NodeRemoved(TppOutlineNode* node) {
  if (currentNode_ == node) currentNode_ = nullptr;
}

// ---- TppOutlineReportNodeCreator ----

TppOutlineReportNodeCreator::TppOutlineReportNodeCreator(cls::TComponent* owner) : TppOutlineNodeCreator(owner) {
  EventMask().Include(ciReportGenerationStart);
}

TppCustomReport* TppOutlineReportNodeCreator::WatchedReport() const {
  if (auto* s = cls::ObjectAs<TppSubReport>(Component())) return s->Report();
  return cls::ObjectAs<TppCustomReport>(Component());
}

void TppOutlineReportNodeCreator::Init() {
  if (TppCustomReport* r = WatchedReport()) r->AddEventNotify(this);
}

void TppOutlineReportNodeCreator::EventNotify(TppCommunicator* sender, int eventId, TraParamList* params) {
  inherited::EventNotify(sender, eventId, params);
  if (eventId != ciReportGenerationStart || sender != WatchedReport()) return;
  if (!Outline()) throw EOutlineError("TppOutlineReportNodeCreator.EventNotify: Outline is nil");
  if (!Component()) throw EOutlineError("TppOutlineReportNodeCreator.EventNotify: NodeCreatorComponent is nil");
  if (Outline()->IsPageProcessed()) return;
  auto* s = cls::ObjectAs<TppSubReport>(Component());
  if (cls::ObjectAs<TppCustomReport>(Component()) || (s && s->PrintBehavior() == pbSection)) CreateReportNode();
}

std::string TppOutlineReportNodeCreator::ReportNodeCaption() const {
  TppCustomReport* r = WatchedReport();
  const std::string description = r ? r->GetDescriptionText() : std::string();
  const size_t colon = description.find(':');
  const std::string caption = colon == std::string::npos ? std::string() : description.substr(0, colon);
  return caption.empty() ? ppLoadStr(1040) : caption;
}

void TppOutlineReportNodeCreator::CreateReportNode() {
  if (currentNode_ && currentNode_->Open()) return;
  const bool isReport = cls::ObjectAs<TppReport>(Component()) != nullptr;
  TppOutlineNode* node = NewNode(nullptr, ReportNodeCaption(), isReport ? ntReport : ntSubReport,
                                 std::max<int32_t>(EnginePageNo(), 1));
  node->SetCreateNode(ComponentCreatesNodes());
  node->SetOpen(true);
  node->SetParent(ParentNode());
  currentNode_ = node;
  if (node->CreateNode()) node->SetCreateNode(FireNodeCreate(node));
  Queue(node);
}

void TppOutlineReportNodeCreator::PageEnded() {
  TppCustomReport* r = WatchedReport();
  if (currentNode_ && r && r->Engine() && r->Engine()->ReportFinished()) currentNode_->SetOpen(false);
  AddPageNodes();
  if (currentNode_ && currentNode_->Open()) Queue(currentNode_);
}

// ---- TppOutlineGroupNodeCreator ----

TppOutlineGroupNodeCreator::TppOutlineGroupNodeCreator(cls::TComponent* owner) : TppOutlineNodeCreator(owner) {
  EventMask().Include(ciBandAfterGenerate);
  EventMask().Include(ciBandBeforeGenerate);
}

void TppOutlineGroupNodeCreator::Init() {
  auto* group = cls::ObjectAs<TppGroup>(Component());
  if (!group) return;
  if (group->HeaderBand()) group->HeaderBand()->AddEventNotify(this);
  if (group->FooterBand()) group->FooterBand()->AddEventNotify(this);
}

void TppOutlineGroupNodeCreator::EventNotify(TppCommunicator* sender, int eventId, TraParamList* params) {
  inherited::EventNotify(sender, eventId, params);
  auto* group = cls::ObjectAs<TppGroup>(Component());
  if (!group || !Outline() || Outline()->IsPageProcessed()) return;
  TppGroupHeaderBand* header = group->HeaderBand();
  TppGroupFooterBand* footer = group->FooterBand();
  if (header && sender == header && eventId == ciBandBeforeGenerate) {
    // A new break: a node its hidden footer never closed is closed now.
    if (header->Generation() && !header->GetOverFlow() && !header->GetPartialGeneration()) CloseNode();
    if (header->Visible() && header->mmHeight() > 0) {
      CreateGroupNode(false);
      madeFromHeader_ = true;
    }
  } else if (footer && sender == footer) {
    if (eventId == ciBandBeforeGenerate && !madeFromHeader_) CreateGroupNode(true);
    else if (eventId == ciBandAfterGenerate && !footer->GetOverFlow()) CloseNode();
  }
}

void TppOutlineGroupNodeCreator::CreateGroupNode(bool atFooter) {
  if (HoldsOpenNode()) return;
  auto* group = cls::ObjectAs<TppGroup>(Component());
  std::string caption;
  if (group) {
    // A footer ends its run after the next run's value was read, unless
    // the data are at their end.
    TppCustomEngine* engine = group->Report() ? group->Report()->Engine() : nullptr;
    caption = atFooter && engine && !engine->DataExhausted() ? group->PriorValue() : group->BreakValue();
  }
  TppOutlineNode* node = NewNode(nullptr, caption, ntGroup, EnginePageNo());
  node->SetCreateNode(ComponentCreatesNodes());
  node->SetOpen(true);
  node->SetParent(ParentNode());
  previousNode_ = currentNode_;
  currentNode_ = node;
  if (node->CreateNode()) node->SetCreateNode(FireNodeCreate(node));
  if (!firstPageNode_) firstPageNode_ = node;
  Queue(node);
}

void TppOutlineGroupNodeCreator::CloseNode() {
  if (currentNode_) currentNode_->SetOpen(false);
  madeFromHeader_ = false;
}

void TppOutlineGroupNodeCreator::PageEnded() {
  AddPageNodes();
  firstPageNode_ = nullptr;
  if (HoldsOpenNode()) {
    Queue(currentNode_);
    firstPageNode_ = currentNode_;
  }
}

void TppOutlineGroupNodeCreator::DropNodeBeforePageEnd() {
  auto* group = cls::ObjectAs<TppGroup>(Component());
  if (!group || !group->KeepTogether() || !HoldsOpenNode() || currentNode_ == firstPageNode_) return;
  bool innerHolds = false;
  for (int i = 0; i < ChildCount() && !innerHolds; ++i)
    ForEachGroupCreatorPostOrder(cls::ObjectAs<TppOutlineNodeCreator>(GetChild(i)),
                                 [&](TppOutlineGroupNodeCreator* g) { innerHolds = innerHolds || g->HoldsOpenNode(); });
  if (innerHolds) return;
  TppOutlineNode* node = currentNode_;
  TppOutlineNode* previous = previousNode_;
  // Every creator forgets the nodes that go (not only the queued ones).
  if (Outline()) Outline()->ForgetNodes(node);
  node->Free();
  currentNode_ = previous;
  madeFromHeader_ = false;
}

void TppOutlineGroupNodeCreator::NodeRemoved(TppOutlineNode* node) {
  inherited::NodeRemoved(node);
  if (firstPageNode_ == node) firstPageNode_ = nullptr;
  if (previousNode_ == node) previousNode_ = nullptr;
}

void ppRegisterOutlineUnit() {
  static std::once_flag once;
  std::call_once(once, [] {
    for (cls::TClass c : {&TppOutlineSettings::StaticClass(), &TppOutlineReportSettings::StaticClass(),
                          &TppOutline::StaticClass(), &TppOutlineNodeCreator::StaticClass(),
                          &TppOutlineReportNodeCreator::StaticClass(), &TppOutlineGroupNodeCreator::StaticClass()})
      cls::RegisterClass(c);
    TppOutlineSettings::RegisterProperties();
    TppOutlineReportSettings::RegisterProperties();
  });
}
