#include "report/forms/ppOutlineViewer.h"

#include <mutex>

#include "platform/ui/forms.h"
#include "report/model/ppResMgr.h"
#include "report/model/ppTypes.h"

CLS_IMPLEMENT_COMPONENT(TppOutlineViewer)

namespace {

// The viewer's communicator: only the viewer itself may free it.
class TppOutlineWalkieTalkie : public TppCommunicator {
  CLS_DECLARE_CLASS(TppOutlineWalkieTalkie, TppCommunicator)
 public:
  explicit TppOutlineWalkieTalkie(cls::TComponent* owner) : TppCommunicator(owner) {}
};
CLS_IMPLEMENT_COMPONENT(TppOutlineWalkieTalkie)

// Holds the viewer's re-entrance counter up for a scope (never below 0).
struct TBusyScope {
  explicit TBusyScope(int& n) : n_(n) { ++n_; }
  ~TBusyScope() { n_ = n_ > 0 ? n_ - 1 : 0; }
  TBusyScope(const TBusyScope&) = delete;
  TBusyScope& operator=(const TBusyScope&) = delete;
  int& n_;
};

// Raises the page viewer's refit flag for a scope.
struct TRefitScope {
  explicit TRefitScope(IppPageViewer* v) : v_(v) {
    if (v_) v_->SetRefitPending(true);
  }
  ~TRefitScope() {
    if (v_) v_->SetRefitPending(false);
  }
  TRefitScope(const TRefitScope&) = delete;
  TRefitScope& operator=(const TRefitScope&) = delete;
  IppPageViewer* v_;
};

}  // namespace

TppOutlineViewer::TppOutlineViewer(cls::TComponent* owner) : ui::TCustomTreeView(owner) {
  walkieTalkie_ = new TppOutlineWalkieTalkie(this);
  cls::GuardFree(walkieTalkie_, [] {
    throw EPagewrightError("TppOutlineViewer.Notification: Do not try to free the embedded walkie talkie.");
  });
  HotTrack = true;
  ReadOnly = true;
  ShowRoot = false;
  TabStop = false;
}

void TppOutlineViewer::BeforeDestruction() {
  if (walkieTalkie_) cls::UnguardFree(walkieTalkie_);
  SetViewer(nullptr);
  inherited::BeforeDestruction();
}

void TppOutlineViewer::SetViewer(ui::TControl* viewer) {
  if (viewer == viewer_) return;
  if (viewer_) {
    if (popupMenu_ && viewer_->PopupMenu == popupMenu_) viewer_->PopupMenu = nullptr;
    viewer_->RemoveFreeNotification(this);
  }
  viewer_ = viewer;
  if (viewer_) viewer_->FreeNotification(this);
}

void TppOutlineViewer::Notification(cls::TComponent* c, cls::TOperation op) {
  inherited::Notification(c, op);
  if (op != cls::opRemove) return;
  if (c == viewer_) viewer_ = nullptr;
  if (c == popupMenu_) {
    // Neither viewer keeps a menu that is gone.
    if (PopupMenu == popupMenu_) PopupMenu = nullptr;
    if (viewer_ && viewer_->PopupMenu == popupMenu_) viewer_->PopupMenu = nullptr;
    popupMenu_ = nullptr;
  }
  if (c == walkieTalkie_) walkieTalkie_ = nullptr;
}

// ---- showing ----

void TppOutlineViewer::SetShowOutline(bool flag) {
  if (busy_ > 0) return;
  ui::TCustomForm* form = ui::GetParentForm(this);
  ui::TWindowUpdateLock lock(form ? static_cast<ui::TWinControl*>(form) : this);
  TRefitScope refit(PageViewer());
  {
    TBusyScope busy(busy_);
    SetVisible(flag);
  }
  if (flag) {
    if (!popupMenu_) CreatePopupMenu();
    PopupMenu = popupMenu_;
    if (viewer_) viewer_->PopupMenu = popupMenu_;
  }
  CaptionPopupMenu();
  SendOutlineEvent();
}

void TppOutlineViewer::SendOutlineEvent() {
  if (!walkieTalkie_) return;
  bool visible = Visible();
  TraParamList params;
  params.AddParam("Visible", daBoolean);
  params.SetParamAddress(0, &visible);
  walkieTalkie_->SendEventNotify(walkieTalkie_, ciOutlineEvent, &params);
}

// ---- popup menu ----

void TppOutlineViewer::CreatePopupMenu() {
  popupMenu_ = new ui::TPopupMenu(this);
  popupMenu_->FreeNotification(this);
  const std::vector<void (TppOutlineViewer::*)(cls::TObject*)> clicks = {
      &TppOutlineViewer::ToggleClick, &TppOutlineViewer::ExpandClick, &TppOutlineViewer::CollapseClick};
  for (auto click : clicks) {
    auto* item = new ui::TMenuItem(popupMenu_);
    item->OnClick = [this, click](cls::TObject* sender) { (this->*click)(sender); };
    popupMenu_->Items().Add(item);
  }
  CaptionPopupMenu();
}

void TppOutlineViewer::FreePopupMenu() {
  if (!popupMenu_) return;
  if (PopupMenu == popupMenu_) PopupMenu = nullptr;
  if (viewer_ && viewer_->PopupMenu == popupMenu_) viewer_->PopupMenu = nullptr;
  ui::TPopupMenu* menu = popupMenu_;
  popupMenu_ = nullptr;
  menu->Free();
}

void TppOutlineViewer::CaptionPopupMenu() {
  if (!popupMenu_) return;
  ui::TMenuItem& items = popupMenu_->Items();
  const bool shown = GetShowOutline();
  items.Items(0)->Caption = ppLoadStr(shown ? 1041 : 1042);
  items.Items(1)->Caption = ppLoadStr(1043);
  items.Items(2)->Caption = ppLoadStr(1044);
  items.Items(1)->Enabled = items.Items(2)->Enabled = shown;
}

void TppOutlineViewer::ToggleClick(cls::TObject*) { SetShowOutline(!GetShowOutline()); }

void TppOutlineViewer::ExpandClick(cls::TObject*) { FullExpand(); }

void TppOutlineViewer::CollapseClick(cls::TObject*) {
  ui::TTreeNodes& items = Items();
  if (items.TopCount() == 1) {
    ui::TTreeNode* top = items.Top(0);
    for (int i = 0; i < top->Count(); ++i) top->Item(i)->Collapse(true);
    return;
  }
  for (int i = 0; i < items.TopCount(); ++i) items.Top(i)->Collapse(true);
}

void TppOutlineViewer::LanguageChanged(TppOutlineDrawCommand* command) {
  CaptionPopupMenu();
  if (command) LoadOutline(command);
}

// ---- the tree ----

bool TppOutlineViewer::Heard(int load) {
  ui::Application().ProcessMessagesWhileWorking();
  return load == loads_;
}

bool TppOutlineViewer::AddItems(ui::TTreeNode* parentItem, const TppOutlineNode* node, int load) {
  for (int i = 0; i < node->ChildCount(); ++i) {
    const TppOutlineNode* child = node->OutlineChild(i);
    if (!child) continue;
    ui::TTreeNode* item = Items().AddChildObject(parentItem, child->Caption(), child->PageReference());
    item->SetExpanded(true);
    if (!Heard(load) || !AddItems(item, child, load)) return false;
  }
  return true;
}

bool TppOutlineViewer::MakeTree(TppOutlineDrawCommand* command, int load) {
  return command->MakeOutlineNode([this, load] { return Heard(load); });
}

void TppOutlineViewer::StopLoading() {
  if (loading_ == 0) return;
  ++loads_;
  nodesLoaded_ = 0;  // what was loaded is loaded again when asked
}

void TppOutlineViewer::LoadOutline(TppOutlineDrawCommand* command) {
  TBusyScope busy(busy_);
  // The terminal is heard while a large outline loads; what it does may
  // free the form (that waits for this), load again or clear: this load
  // then stops where it is.
  ui::TCustomForm::HandlerScope keep(ui::GetParentForm(this));
  TBusyScope loading(loading_);
  const int load = ++loads_;
  Items().Clear();
  nodesLoaded_ = 0;
  if (!command || !MakeTree(command, load)) return;
  // A page change meanwhile stops this load before the command can go.
  const TppOutlineNode* root = command->OutlineNode();
  const bool complete = command->Complete();
  if (!AddItems(nullptr, root, load)) return;
  nodesLoaded_ = root->AbsoluteChildNodeCount();
  if (nodesLoaded_ >= 1 && !complete) {
    Items().Add(nullptr, "");
    Items().Add(nullptr, ppLoadStr(1045));
  }
  if (complete && nodesLoaded_ == 1) HotTrack = ToolTips = false;
}

void TppOutlineViewer::SyncToPage(TppPage* page) {
  if (!page) return;
  StopLoading();  // that page's outline may be gone
  TBusyScope busy(busy_);
  if (Selected() && Selected()->Data != page->AbsolutePageNo()) SetSelected(nullptr);
  auto* command = cls::ObjectAs<TppOutlineDrawCommand>(page->GetOutlineDrawCommand());
  if (!command) return;
  {
    // A large tree is made hearing the terminal, as it is loaded.
    ui::TCustomForm::HandlerScope keep(ui::GetParentForm(this));
    TBusyScope loading(loading_);
    if (!MakeTree(command, ++loads_)) return;
  }
  complete_ = command->Complete();
  if (command->OutlineNode()->AbsoluteChildNodeCount() > nodesLoaded_) {
    LoadOutline(command);
    return;
  }
  if (!command->Complete()) return;
  const TppOutlineNode* first = command->OutlineNode()->OutlineChild(0);
  if (!(first && first->NodeType() == ntNoOutline)) HotTrack = ToolTips = false;
  if (Items().TopCount() > 0) {
    ui::TTreeNode* last = Items().Top(Items().TopCount() - 1);
    if (last->Text == ppLoadStr(1045)) last->Delete();
  }
}

void TppOutlineViewer::SelectPage(int32_t pageNo) {
  if (Selected() || loading_ > 0) return;
  for (ui::TTreeNode* n = Items().GetFirstNode(); n; n = n->GetNext())
    if (n->Data == pageNo) {
      TBusyScope busy(busy_);
      SetSelected(n);
      return;
    }
}

void TppOutlineViewer::Clear() {
  ++loads_;  // a load under way stops
  {
    TBusyScope busy(busy_);
    Items().Clear();
  }
  nodesLoaded_ = 0;
  complete_ = false;
  FreePopupMenu();
}

void TppOutlineViewer::GoToNodePage(ui::TTreeNode* node) {
  if (!node || node->Data <= 0) return;
  if (IppPageViewer* v = PageViewer()) v->GotoPage(static_cast<int32_t>(node->Data));
}

void TppOutlineViewer::Change(ui::TTreeNode* node) {
  inherited::Change(node);
  if (busy_ == 0) GoToNodePage(node);
}

void TppOutlineViewer::WndProc(ui::TMessage& m) {
  if (m.Msg == ui::WM_LBUTTONDBLCLK || m.Msg == ui::WM_RBUTTONDOWN) {
    m.Result = 0;
    return;
  }
  inherited::WndProc(m);
}

void TppOutlineViewer::MouseUp(ui::TMouseButton button, ui::TShiftState shift, int x, int y) {
  if (button == ui::TMouseButton::mbLeft && (GetHitTestInfoAt(x, y) & ui::htOnLabel)) GoToNodePage(GetNodeAt(x, y));
  inherited::MouseUp(button, shift, x, y);
}

void ppRegisterOutlineViewerUnit() {
  static std::once_flag once;
  std::call_once(once, [] { cls::RegisterClass(&TppOutlineViewer::StaticClass()); });
}
